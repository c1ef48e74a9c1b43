#pragma once
// The private window messages of the main frame and its panels as Qt events: message n
// (WM_USER + n) is an event of type QEvent::User + n carrying the two message parameters.
// Posting is safe from any thread.

#include "app/database/main_frame_sink.h"

#include <QEvent>
#include <QObject>

#include <cstdint>

namespace ui {

enum FrameMessage : int {
    kMsgSelectSavedCamera = 200,
    kMsgDestroyFrame = 203,
    kMsgModelCount = database::kMsgModelCount,
    kMsgReloadModels = database::kMsgReloadModels,
    kMsgShowAnimation = 206,
    kMsgModelLoadingDone = database::kMsgModelLoadingDone,
    kMsgPassStarted = database::kMsgPassStarted,
    kMsgPersonsTotal = database::kMsgPersonsTotal,
    kMsgPersonsProgress = database::kMsgPersonsProgress,
    kMsgApplyingChanges = database::kMsgApplyingChanges,
    kMsgConnections = 220,
};

constexpr QEvent::Type MessageType(int message) { return static_cast<QEvent::Type>(QEvent::User + message); }

class FrameMessageEvent final : public QEvent {
public:
    FrameMessageEvent(int message, uintptr_t wParam, intptr_t lParam)
        : QEvent(MessageType(message)), wParam_(wParam), lParam_(lParam) {}
    int Message() const { return int(type()) - int(QEvent::User); }
    uintptr_t WParam() const { return wParam_; }
    intptr_t LParam() const { return lParam_; }

private:
    uintptr_t wParam_;
    intptr_t lParam_;
};

// False when there is no application or receiver to post to.
bool PostFrameMessage(QObject* receiver, int message, uintptr_t wParam = 0, intptr_t lParam = 0);

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
