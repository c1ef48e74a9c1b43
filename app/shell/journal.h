#pragma once
// The posting side of the event journal: any thread builds an entry and hands it to the tab
// it belongs to. Each entry has exactly one owner at a time: the poster until delivery
// succeeds, then the receiver (the journal tab), which frees it with the strings it owns.

#include <QString>
#include <cstdint>
#include <memory>

namespace shell {

// The five tabs in tab order.
enum class JournalTab : int { Camera = 0, Database = 1, Recognition = 2, Actions = 3, Notifications = 4 };
constexpr int kJournalTabCount = 5;

// Window message number (WM_USER + n) that carries an entry to each tab; the Qt window posts
// it as a QEvent of type QEvent::User + n.
int JournalEntryMessage(JournalTab tab);

// Database states carried by database entries; kDatabaseStateUnchanged leaves the state alone.
constexpr int32_t kDatabaseStateAvailable = 1;
constexpr int32_t kDatabaseStateNotConfigured = 2;
constexpr int32_t kDatabaseStateError = 3;
constexpr int32_t kDatabaseStateUnchanged = -1;

// One journal record. A string whose owned flag is clear belongs to the caller and must outlive
// the entry (literals, long-lived camera names); an owned string is a private copy freed with it.
struct JournalEntry {
    int32_t iconKind = 0;
    const char16_t* eventText = nullptr;
    bool eventTextOwned = false;
    int32_t actionNumber = 0;
    const char16_t* actionText = nullptr;
    bool actionTextOwned = false;
    const char16_t* description = nullptr;
    bool descriptionOwned = false;
    uint32_t statusBar = 0;       // camera tab: also show the event in the status bar
    uint32_t statusIconKind = 0;  // camera tab: status-bar icon 1..3, other values none
    int32_t databaseState = 0;    // database tab: 1..3, or kDatabaseStateUnchanged

    JournalEntry() = default;
    ~JournalEntry();
    JournalEntry(const JournalEntry&) = delete;
    JournalEntry& operator=(const JournalEntry&) = delete;
};

// Where posted entries go: the main window posts them to the tab's pad as a QEvent; tests
// collect them. Deliver takes the entry over in every case and returns false when it could not
// be queued (the entry is then already freed).
class JournalSink {
public:
    virtual ~JournalSink() = default;
    virtual bool Deliver(JournalTab tab, std::unique_ptr<JournalEntry> entry) = 0;
};

// Installs the sink every poster delivers to (nullptr: none, posts fail). Set it before the
// threads that post start and clear it after they have ended.
void SetJournalSink(JournalSink* sink);

// A QString's text for the posting operations (valid while the QString lives unchanged).
inline const char16_t* JournalText(const QString& text) {
    return reinterpret_cast<const char16_t*>(text.utf16());
}

// Posting operations, callable from any thread. A set copy flag makes a private copy of that
// string. Each returns false when the entry was dropped: out of memory ("Недостаточно памяти в
// системе" in the diagnostic log) or a failed delivery ("Post Message Error").
bool PostDatabaseJournal(int32_t iconKind, const char16_t* eventText, bool copyEventText,
                         const char16_t* description, bool copyDescription, int32_t databaseState);
bool PostRecognitionJournal(int32_t iconKind, const char16_t* eventText, const char16_t* description,
                            bool copyDescription);
bool PostActionJournal(int32_t iconKind, const char16_t* eventText, bool copyEventText, int32_t actionNumber,
                       const char16_t* actionText, bool copyActionText, const char16_t* description,
                       bool copyDescription);
// The event column of a notification always reads "Management Server".
bool PostNotificationJournal(int32_t iconKind, const char16_t* description, bool copyDescription);
// Camera entries: the description is usually the camera name, which the camera code keeps alive;
// copyDescription lets a caller hand over a temporary text instead.
bool PostCameraJournal(int32_t iconKind, const char16_t* eventText, const char16_t* description,
                       uint32_t statusBar, uint32_t statusIconKind, bool copyDescription = false);

}  // namespace shell
