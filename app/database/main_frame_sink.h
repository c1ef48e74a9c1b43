#pragma once
// What the database check thread tells the main frame. The main window posts each message to
// itself as a QEvent of type QEvent::User + message; tests record them.

#include <cstdint>

namespace database {

// Message numbers n of WM_USER + n.
enum MainFrameMessage : int {
    kMsgModelCount = 204,        // wParam: size of the working set
    kMsgReloadModels = 205,      // show ModelLoadingWindow and set hDbCheckEvent
    kMsgModelLoadingDone = 213,  // hide the progress bar and ModelLoadingWindow
    kMsgPassStarted = 214,       // wParam: PrevData entries at the start of the pass
    kMsgPersonsTotal = 215,      // wParam: total persons
    kMsgPersonsProgress = 216,   // wParam: rows read so far (1-based), lParam: total
    kMsgApplyingChanges = 217,   // the changes are being applied
};

class MainFrameSink {
public:
    virtual ~MainFrameSink() = default;
    // Posts without waiting; callable from any thread.
    virtual void PostMainFrameMessage(int message, uintptr_t wParam, intptr_t lParam) = 0;
    // The event journal's current database state (1 available, 2 not configured, 3 error; 0
    // before any), as last received by the journal's database tab.
    virtual int32_t JournalDatabaseState() const = 0;
};

}  // namespace database
