#pragma once
// What the journal tabs show, without a display: the rows of each tab (newest first, at most
// 256), the clear button's state, the current database state with the tab icon it selects,
// and the camera status-bar updates. The tab widgets forward their entry events here.

#include "app/shell/journal.h"

#include <QString>
#include <QTime>
#include <array>
#include <deque>
#include <memory>

namespace shell {

constexpr int kJournalMaxRows = 256;

struct JournalRow {
    QString time;  // insertion time "%02d:%02d:%02d.%03d"
    EntryIcon icon;
    QString eventText;
    QString actionText;    // actions tab only
    QString actionNumber;  // actions tab only, "%04d"
    QString description;
};

// The camera panel's status bar, part 0: the text and its icon (None, Working, Warning or Error).
class CameraStatusBar {
public:
    virtual ~CameraStatusBar() = default;
    virtual bool CameraRunning() const = 0;
    virtual void ShowEvent(const QString& text, StatusIcon icon) = 0;
};

class JournalTabModel {
public:
    // Inserts the entry's row at the top at the given insertion time, dropping the oldest rows
    // beyond the limit, and enables the clear button.
    void Insert(const JournalEntry& entry, bool actionsTab, const QTime& now);
    void Clear();

    const std::deque<JournalRow>& Rows() const { return rows_; }
    bool ClearEnabled() const { return clearEnabled_; }

private:
    std::deque<JournalRow> rows_;
    bool clearEnabled_ = false;
};

class JournalPanelModel {
public:
    explicit JournalPanelModel(CameraStatusBar* statusBar = nullptr) : statusBar_(statusBar) {}

    // Receives one posted entry (the user-interface thread) and frees it.
    void Receive(JournalTab tab, std::unique_ptr<JournalEntry> entry, const QTime& now = QTime::currentTime());

    // The 500 ms blink timer.
    void TimerTick() { blink_ = !blink_; }

    JournalTabModel& Tab(JournalTab tab) { return tabs_[static_cast<size_t>(tab)]; }
    shell::DatabaseState DatabaseState() const { return databaseState_; }
    // The "База данных" tab's icon: the state's icon 1..3 (blinking with icon 0 while the database
    // is not configured or in error), icon 0 for any other state.
    int DatabaseTabIcon() const;

private:
    std::array<JournalTabModel, kJournalTabCount> tabs_;
    CameraStatusBar* statusBar_;
    shell::DatabaseState databaseState_ = shell::DatabaseState::Unknown;
    bool blink_ = false;
};

// "%02d:%02d:%02d.%03d"
QString JournalTimeText(const QTime& time);

}  // namespace shell
