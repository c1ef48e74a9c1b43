#pragma once
// The event journal below the camera view: five tabs, each a pad with a "Очистить" button and
// a report list. Entries arrive from any thread as events posted to the tab's pad; the rows,
// the clear button and the database tab's icon follow shell::JournalPanelModel.

#include "app/shell/journal.h"
#include "app/shell/journal_model.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <array>
#include <atomic>
#include <memory>

class QTableWidget;
class QTabWidget;
class QToolButton;

namespace ui {

class JournalEntryEvent final : public QEvent {
public:
    JournalEntryEvent(shell::JournalTab tab, std::unique_ptr<shell::JournalEntry> entry)
        : QEvent(static_cast<QEvent::Type>(QEvent::User + shell::JournalEntryMessage(tab))), entry_(std::move(entry)) {}
    std::unique_ptr<shell::JournalEntry> TakeEntry() { return std::move(entry_); }

private:
    std::unique_ptr<shell::JournalEntry> entry_;
};

struct JournalColumn {
    const char16_t* caption;
    int width;
};

// The captions of the tabs and the columns of each tab's list.
QString JournalTabCaption(shell::JournalTab tab);
QString JournalPadClassName(shell::JournalTab tab);
std::vector<JournalColumn> JournalColumns(shell::JournalTab tab);

class EventPanel;

class JournalPad final : public QWidget {
public:
    JournalPad(shell::JournalTab tab, EventPanel& panel, QWidget* parent);

    QTableWidget* List() const { return list_; }
    QToolButton* ClearButton() const { return clear_; }

protected:
    bool event(QEvent* e) override;

private:
    void ShowNewestRow();
    void ClearRows();

    shell::JournalTab tab_;
    EventPanel& panel_;
    QTableWidget* list_;
    QToolButton* clear_;
};

class EventPanel final : public QWidget, public shell::JournalSink {
public:
    explicit EventPanel(shell::CameraStatusBar* statusBar, QWidget* parent = nullptr);

    // Any thread: posts the entry to its tab's pad.
    bool Deliver(shell::JournalTab tab, std::unique_ptr<shell::JournalEntry> entry) override;

    shell::JournalPanelModel& Model() { return model_; }
    JournalPad* Pad(shell::JournalTab tab) const { return pads_[size_t(tab)]; }
    QTabWidget* Tabs() const { return tabs_; }
    // The state the database tab received last; readable from any thread.
    shell::DatabaseState DatabaseState() const { return databaseState_.load(std::memory_order_acquire); }

    // The pad's entry was taken in.
    void EntryReceived(shell::JournalTab tab);

private:
    void ShowDatabaseTabIcon();

    shell::JournalPanelModel model_;
    QTabWidget* tabs_;
    std::array<JournalPad*, shell::kJournalTabCount> pads_{};
    QTimer blinkTimer_;
    std::atomic<shell::DatabaseState> databaseState_{shell::DatabaseState::Unknown};
};

}  // namespace ui
