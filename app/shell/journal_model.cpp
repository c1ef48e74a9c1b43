#include "app/shell/journal_model.h"

namespace shell {

namespace {

// Camera entries may show only the camera's own icons in the status bar.
StatusIcon CameraEventIcon(StatusIcon icon) {
    return icon == StatusIcon::Working || icon == StatusIcon::Warning || icon == StatusIcon::Error ? icon
                                                                                                   : StatusIcon::None;
}

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
    row.icon = entry.icon;
    row.eventText = entry.eventText;
    if (actionsTab) {
        row.actionText = entry.actionText;
        row.actionNumber = QString::asprintf("%04d", entry.actionNumber);
    }
    row.description = entry.description;
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
    if (tab == JournalTab::Camera && statusBar_ != nullptr && statusBar_->CameraRunning() &&
        entry->statusBar == StatusBar::Show) {
        statusBar_->ShowEvent(entry->eventText, CameraEventIcon(entry->statusIcon));
    }
    if (tab == JournalTab::Database && entry->databaseState != DatabaseState::Unchanged) {
        databaseState_ = entry->databaseState;
    }
}

int JournalPanelModel::DatabaseTabIcon() const {
    switch (databaseState_) {
    case DatabaseState::Available:
        return 1;
    case DatabaseState::NotConfigured:
    case DatabaseState::Error:
        return blink_ ? 0 : static_cast<int>(databaseState_);
    default:
        return 0;
    }
}

}  // namespace shell
