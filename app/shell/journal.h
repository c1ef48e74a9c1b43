#pragma once
// Purpose: the posting side of the event journal: any thread builds an entry and hands it to the tab it
//          belongs to through a Journal, which the main window attaches to its tabs.
// Threads: the Post* methods from any thread, lock-free; Attach from the thread that owns the sink,
//          before the posting threads start and (with nullptr) after they have ended.
// Owns: each entry has exactly one owner at a time: the poster until delivery succeeds, then the
//       receiver (the journal tab), which frees it; an entry owns its texts (implicitly shared QStrings,
//       literals referenced without a copy).

#include <QString>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <variant>

namespace shell {

// The five tabs in tab order.
enum class JournalTab : int { Camera = 0, Database = 1, Recognition = 2, Actions = 3, Notifications = 4 };
constexpr int kJournalTabCount = 5;

// Window message number (WM_USER + n) that carries an entry to each tab; the Qt window posts
// it as a QEvent of type QEvent::User + n.
int JournalEntryMessage(JournalTab tab);

// The icon kinds of each tab; the values index the tab's own image list.
enum class CameraIcon : int32_t { Info = 0, Warning = 1, Error = 2, ThreadStarted = 3, ThreadStopped = 4 };
// Info: the database is available, or an edit went through.
enum class DatabaseIcon : int32_t { Info = 0, NotConfigured = 1, Error = 2 };
// A recognized person is shown with the icon of its watch list (3 + list number).
enum class RecognitionIcon : int32_t { ModelSet = 0, WhiteList = 3, BlackList = 4, GrayList = 5 };
enum class ActionIcon : int32_t {
    Done = 0,
    ScriptError = 1,  // the script failed while running
    Error = 2,
    CsvWritten = 3,
    ScriptStarted = 4,
    MailSending = 5,
};
enum class NotificationIcon : int32_t { Information = 0, Warning = 1, Error = 2 };

constexpr RecognitionIcon RecognizedIcon(uint32_t listNumber) {
    return static_cast<RecognitionIcon>(static_cast<int32_t>(RecognitionIcon::WhiteList) +
                                        static_cast<int32_t>(listNumber));
}

// An entry's icon; which alternative it holds names the tab's image list.
using EntryIcon = std::variant<CameraIcon, DatabaseIcon, RecognitionIcon, ActionIcon, NotificationIcon>;

// Whether a camera entry also shows its event text in part 0 of the camera panel's status bar.
enum class StatusBar : uint32_t { Leave = 0, Show = 1 };
// The camera panel's status-bar icons: the first three follow the camera (and camera entries), the last
// two the management server.
enum class StatusIcon : uint32_t { None = 0, Working = 1, Warning = 2, Error = 3, ServerRunning = 4, ServerIdle = 5 };

// The database state a database entry sets; Unchanged leaves it alone, Unknown is the state before any.
enum class DatabaseState : int32_t { Unchanged = -1, Unknown = 0, Available = 1, NotConfigured = 2, Error = 3 };

// One journal record.
struct JournalEntry {
    JournalEntry(EntryIcon icon, QString eventText, QString description)
        : icon(icon), eventText(std::move(eventText)), description(std::move(description)) {}

    EntryIcon icon;
    QString eventText;
    QString description;
    int32_t actionNumber = 0;                                // actions tab only
    QString actionText;                                      // actions tab only
    StatusBar statusBar = StatusBar::Leave;                  // camera tab only
    StatusIcon statusIcon = StatusIcon::None;                // camera tab only
    DatabaseState databaseState = DatabaseState::Unchanged;  // database tab only
};

// Where posted entries go: the main window posts them to the tab's pad as a QEvent; tests
// collect them. Deliver takes the entry over in every case and returns false when it could not
// be queued (the entry is then already freed).
class JournalSink {
public:
    virtual ~JournalSink() = default;
    virtual bool Deliver(JournalTab tab, std::unique_ptr<JournalEntry> entry) = 0;
};

// A journal text from a UTF-16 literal, referenced without a copy: `u"Камера открыта"_jt`.
inline namespace literals {
inline QString operator""_jt(const char16_t* text, size_t length) {
    return QString::fromRawData(reinterpret_cast<const QChar*>(text), static_cast<qsizetype>(length));
}
}  // namespace literals

// The journal handed to every part of the program that posts. Each post returns false when the entry
// was dropped: out of memory ("Недостаточно памяти в системе" in the diagnostic log) or a failed
// delivery, no sink attached included ("Post Message Error").
class Journal {
public:
    explicit Journal(JournalSink* sink = nullptr) : sink_(sink) {}
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // nullptr detaches: later posts fail.
    void Attach(JournalSink* sink) { sink_.store(sink, std::memory_order_release); }

    bool PostCamera(CameraIcon icon, QString eventText, QString description, StatusBar statusBar,
                    StatusIcon statusIcon) const;
    bool PostDatabase(DatabaseIcon icon, QString eventText, QString description, DatabaseState state) const;
    bool PostRecognition(RecognitionIcon icon, QString eventText, QString description) const;
    bool PostAction(ActionIcon icon, QString eventText, int32_t actionNumber, QString actionText,
                    QString description) const;
    // The event column of a notification always reads "Management Server".
    bool PostNotification(NotificationIcon icon, QString description) const;

private:
    // Moves the fields into a heap entry and delivers it to the tab.
    bool Post(JournalTab tab, JournalEntry&& fields) const;

    std::atomic<JournalSink*> sink_;
};

}  // namespace shell
