#include "app/shell/journal.h"

#include "platform/log.h"

#include <new>

namespace shell {

namespace {

constexpr int kWmUser = 0x0400;
constexpr int kFirstEntryMessage = kWmUser + 207;

}  // namespace

int JournalEntryMessage(JournalTab tab) { return kFirstEntryMessage + static_cast<int>(tab); }

bool Journal::Post(JournalTab tab, JournalEntry&& fields) const {
    std::unique_ptr<JournalEntry> entry(new (std::nothrow) JournalEntry(std::move(fields)));
    if (!entry) {
        WriteLog(QStringLiteral("Недостаточно памяти в системе"));
        return false;
    }
    JournalSink* sink = sink_.load(std::memory_order_acquire);
    if (sink == nullptr || !sink->Deliver(tab, std::move(entry))) {
        WriteLog(QStringLiteral("Post Message Error"));
        return false;
    }
    return true;
}

bool Journal::PostCamera(CameraIcon icon, QString eventText, QString description, StatusBar statusBar,
                         StatusIcon statusIcon) const {
    JournalEntry entry{icon, std::move(eventText), std::move(description)};
    entry.statusBar = statusBar;
    entry.statusIcon = statusIcon;
    return Post(JournalTab::Camera, std::move(entry));
}

bool Journal::PostDatabase(DatabaseIcon icon, QString eventText, QString description, DatabaseState state) const {
    JournalEntry entry{icon, std::move(eventText), std::move(description)};
    entry.databaseState = state;
    return Post(JournalTab::Database, std::move(entry));
}

bool Journal::PostRecognition(RecognitionIcon icon, QString eventText, QString description) const {
    return Post(JournalTab::Recognition, {icon, std::move(eventText), std::move(description)});
}

bool Journal::PostAction(ActionIcon icon, QString eventText, int32_t actionNumber, QString actionText,
                         QString description) const {
    JournalEntry entry{icon, std::move(eventText), std::move(description)};
    entry.actionNumber = actionNumber;
    entry.actionText = std::move(actionText);
    return Post(JournalTab::Actions, std::move(entry));
}

bool Journal::PostNotification(NotificationIcon icon, QString description) const {
    return Post(JournalTab::Notifications, {icon, u"Management Server"_jt, std::move(description)});
}

}  // namespace shell
