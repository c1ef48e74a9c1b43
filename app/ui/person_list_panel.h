#pragma once
// Purpose: the person list of the database browser and of the person chooser: the list filter
//          check boxes (browser only), the person count, the four-column report list with its
//          header sort mark, and the context menu. The rules live in browser::PersonListModel and
//          browser::ToggleListFilter; this widget forwards input and shows their results.
// Threads: the user-interface thread only.
// Owns: the rows (through the model) and its child widgets (Qt parent ownership).

#include "app/browser/person_list_model.h"
#include "settings/groups.h"

#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <vector>

class QCheckBox;
class QLabel;
class QMenu;
class QTableView;

namespace ui {

class PersonTableModel;

// Whether the panel shows the list filter check boxes.
enum class ListFilterRow { Shown, Hidden };
// Whether selecting a person moves the keyboard focus to the list.
enum class ListFocus { Take, Keep };

class PersonListPanel final : public QWidget {
public:
    explicit PersonListPanel(ListFilterRow filterRow, QWidget* parent = nullptr);
    ~PersonListPanel() override;

    // The check boxes show these filters (browser only).
    void SetFilters(const settings::DbWinSettings& filters);
    const settings::DbWinSettings& Filters() const { return filters_; }

    // The rows of a read; the list's selected person is selected, scrolled into view and focused.
    // Does not call selectionChanged: the caller shows Selected() itself after a read.
    void SetRows(database::PersonList list);
    // Selects the person's row and scrolls it into view; false when the person is not listed.
    bool SelectPerson(int32_t personId, ListFocus focus = ListFocus::Take);
    // The selected person, null with none; valid until the next SetRows.
    const database::PersonRecord* Selected() const { return model_.Selected(); }
    const browser::PersonListModel& Model() const { return model_; }

    // The context menu for the current selection (the caller owns and shows it); each item runs
    // commandChosen.
    std::unique_ptr<QMenu> CreateContextMenu();
    QTableView* View() const { return view_; }

    // Called after each change of the selected person, except by SetRows.
    std::function<void()> selectionChanged;
    // A filter check box changed (a refused change is not reported); the caller saves the filters
    // and re-reads the list.
    std::function<void(const settings::DbWinSettings&)> filterChanged;
    // A context-menu item or its key (browser::BrowserCommand). Without it (the person chooser)
    // the list has no context menu and no command keys.
    std::function<void(int command)> commandChosen;
    // A double click on a person.
    std::function<void()> personActivated;
    // Called after every change of the rows, their order or the selection (the search window
    // follows the list through it).
    void AddListWatcher(std::function<void()> watcher) { watchers_.push_back(std::move(watcher)); }

private:
    void FilterToggled(database::WatchList list, bool ticked);
    void SortClicked(int section);
    void ViewSelectionChanged();
    // Selects the model's selected row in the view (no callback), scrolling to it.
    void ShowModelSelection(ListFocus focus);
    void Choose(int command);
    void NotifyWatchers();

    browser::PersonListModel model_;
    settings::DbWinSettings filters_{1, 1, 1};
    std::array<QCheckBox*, 3> filterBoxes_{};
    QLabel* count_ = nullptr;
    QTableView* view_ = nullptr;
    PersonTableModel* table_ = nullptr;
    bool syncing_ = false;  // the view's selection is being set from the model
    std::vector<std::function<void()>> watchers_;
};

}  // namespace ui
