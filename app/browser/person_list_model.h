#pragma once
// Purpose: the person list of the database browser and the person chooser without a display: the
//          rows of the last read, their display order by the sort column, the selected person kept
//          across a re-read, and what the list's context menu offers.
// Threads: the user-interface thread.
// Owns: the rows (one PersonRecord each).

#include "app/database/person_ops.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace browser {

// The list's columns, in their order on screen.
enum class PersonSortColumn { List = 0, Id = 1, Name = 2, Samples = 3 };
inline constexpr int kPersonColumnCount = 4;

// Whether a comes before b when sorted by column (always ascending): list number, person id,
// names (surname, forename, second name, each without regard to letter case) or sample count.
// Rows equal in that column keep the order of their person ids, so a sort never depends on the
// order the database happened to return.
bool PersonOrderedBefore(const database::PersonRecord& a, const database::PersonRecord& b, PersonSortColumn column);

// "Ф.И.О.": "%s %s %s" (surname, forename, second name).
QString PersonFullName(const database::PersonRecord& person);

// What the list's context menu enables.
struct PersonMenuState {
    bool changeList = false;                     // "Изменить список на" and its three items
    bool deletePerson = false;                   // "Удалить"
    std::optional<database::WatchList> current;  // the list item marked: the selected person's list
};

class PersonListModel {
public:
    // The rows of a read; the list's selected row (if any) becomes the selection. The display order
    // follows the current sort column.
    void SetRows(database::PersonList list);

    // A header click. False when nothing changed (column is the current one).
    bool SortBy(PersonSortColumn column);
    PersonSortColumn SortColumn() const { return sortColumn_; }

    size_t RowCount() const { return order_.size(); }
    // The person shown in that row of the display order.
    const database::PersonRecord& Row(size_t displayRow) const;
    std::optional<size_t> RowOfPerson(int32_t personId) const;

    // The selection survives sorting; a row outside the list clears it.
    void Select(std::optional<size_t> displayRow);
    std::optional<size_t> SelectedRow() const;
    const database::PersonRecord* Selected() const { return selected_; }
    // The person a re-read should select again: the selected person's id, 0 with none.
    int32_t SelectedPersonId() const { return selected_ != nullptr ? selected_->personId : 0; }

    // The text after "Персон:".
    QString CountText() const { return QString::number(order_.size()); }
    PersonMenuState MenuState() const;

private:
    void Order();

    database::PersonRows rows_;
    std::vector<const database::PersonRecord*> order_;  // the display order
    const database::PersonRecord* selected_ = nullptr;
    PersonSortColumn sortColumn_ = PersonSortColumn::Id;
};

}  // namespace browser
