#pragma once
// The command ids of the database browser's menus, toolbars and card, as the window and its tests
// use them.
namespace browser {

enum BrowserCommand : int {
    kCmdDbSettings = 40016,
    kCmdClose = 40017,
    kCmdNewPerson = 40018,
    kCmdChangeList = 40019,
    kCmdListGreen = 40020,
    kCmdListRed = 40021,
    kCmdListGray = 40022,
    kCmdSearch = 40023,
    kCmdDeletePerson = 40024,
    kCmdSaveCard = 40025,
};

}  // namespace browser
