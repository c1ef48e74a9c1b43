#include "app/shell/journal_model.h"

namespace shell {

namespace {

QString TextOf(const char16_t* text) { return text != nullptr ? QString::fromUtf16(text) : QString(); }

}  // namespace

QString JournalTimeText(const QTime& time) {
    return QString::asprintf("%02d:%02d:%02d.%03d", time.hour(), time.minute(), time.second(), time.msec());
}

void JournalTabModel::Insert(const JournalEntry& entry, bool actionsTab, const QTime& now) {
    while (rows_.size() >= static_cast<size_t>(kJournalMaxRows)) {
        rows_.pop_back();
    }
    JournalRow row;
    row.time = JournalTimeText(now);
    row.iconKind = entry.iconKind;
    row.eventText = TextOf(entry.eventText);
    if (actionsTab) {
        row.actionText = TextOf(entry.actionText);
        row.actionNumber = QString::asprintf("%04d", entry.actionNumber);
    }
    row.description = TextOf(entry.description);
    rows_.push_front(std::move(row));
    clearEnabled_ = true;
}

void JournalTabModel::Clear() {
    rows_.clear();
    clearEnabled_ = false;
}

void JournalPanelModel::Receive(JournalTab tab, std::unique_ptr<JournalEntry> entry, const QTime& now) {
    if (!entry) {
        return;
    }
    Tab(tab).Insert(*entry, tab == JournalTab::Actions, now);
    if (tab == JournalTab::Camera && statusBar_ != nullptr && statusBar_->CameraRunning() && entry->statusBar != 0) {
        const int icon = entry->statusIconKind >= 1 && entry->statusIconKind <= 3 ? int(entry->statusIconKind) : 0;
        statusBar_->ShowEvent(TextOf(entry->eventText), icon);
    }
    if (tab == JournalTab::Database && entry->databaseState != kDatabaseStateUnchanged) {
        databaseState_ = entry->databaseState;
    }
}

int JournalPanelModel::DatabaseTabIcon() const {
    switch (databaseState_) {
    case kDatabaseStateAvailable:
        return 1;
    case kDatabaseStateNotConfigured:
    case kDatabaseStateError:
        return blink_ ? 0 : databaseState_;
    default:
        return 0;
    }
}

}  // namespace shell
