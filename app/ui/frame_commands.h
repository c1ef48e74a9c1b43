#pragma once
// The command ids of the main frame's menu and toolbars, as the frame and its tests use them.

namespace ui {

// Command ids of the menu and the toolbars.
enum Command : int {
    kCmdSettings = 40001,
    kCmdAbout = 40003,
    kCmdExit = 40004,
    kCmdStart = 40005,
    kCmdStop = 40006,
    kCmdFramedFace = 40007,
    kCmdSnapshot = 40008,
    kCmdDatabase = 40009,
    kCmdChooseCamera = 40010,
    kCmdClearJournal = 40011,
    kCmdCameraFirst = 41000,
};

}  // namespace ui
