#include "app/browser/person_list_model.h"

#include "platform/contract.h"

#include <algorithm>

namespace browser {

namespace {

int CompareNoCase(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive); }

// <0, 0 or >0 as a comes before, with or after b in that column alone.
int CompareIn(const database::PersonRecord& a, const database::PersonRecord& b, PersonSortColumn column) {
    const auto three = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };
    switch (column) {
    case PersonSortColumn::List:
        return three(static_cast<int32_t>(a.list), static_cast<int32_t>(b.list));
    case PersonSortColumn::Id:
        return three(a.personId, b.personId);
    case PersonSortColumn::Name:
        if (const int c = CompareNoCase(a.fields.surname, b.fields.surname); c != 0) return c;
        if (const int c = CompareNoCase(a.fields.forename, b.fields.forename); c != 0) return c;
        return CompareNoCase(a.fields.secondName, b.fields.secondName);
    case PersonSortColumn::Samples:
        return three(a.sampleCount, b.sampleCount);
    }
    return 0;
}

}  // namespace

bool PersonOrderedBefore(const database::PersonRecord& a, const database::PersonRecord& b, PersonSortColumn column) {
    const int c = CompareIn(a, b, column);
    return c != 0 ? c < 0 : a.personId < b.personId;
}

QString PersonFullName(const database::PersonRecord& person) { return person.fields.Name().Spaced(); }

void PersonListModel::SetRows(database::PersonList list) {
    rows_ = std::move(list.rows);
    selected_ = list.selected;
    Order();
}

bool PersonListModel::SortBy(PersonSortColumn column) {
    if (column == sortColumn_) return false;
    sortColumn_ = column;
    Order();
    return true;
}

void PersonListModel::Order() {
    order_.clear();
    order_.reserve(rows_.size());
    for (const auto& row : rows_) order_.push_back(row.get());
    std::sort(order_.begin(), order_.end(),
              [this](const auto* a, const auto* b) { return PersonOrderedBefore(*a, *b, sortColumn_); });
}

const database::PersonRecord& PersonListModel::Row(size_t displayRow) const {
    OSTROVID_ASSERT(displayRow < order_.size(), "a row of the list");
    return *order_[displayRow];
}

std::optional<size_t> PersonListModel::RowOfPerson(int32_t personId) const {
    const auto it =
        std::find_if(order_.begin(), order_.end(), [personId](const auto* row) { return row->personId == personId; });
    if (it == order_.end()) return std::nullopt;
    return static_cast<size_t>(it - order_.begin());
}

void PersonListModel::Select(std::optional<size_t> displayRow) {
    selected_ = displayRow && *displayRow < order_.size() ? order_[*displayRow] : nullptr;
}

std::optional<size_t> PersonListModel::SelectedRow() const {
    if (selected_ == nullptr) return std::nullopt;
    return RowOfPerson(selected_->personId);
}

PersonMenuState PersonListModel::MenuState() const {
    PersonMenuState state;
    if (selected_ == nullptr) return state;
    state.changeList = true;
    state.deletePerson = true;
    state.current = selected_->list;
    return state;
}

}  // namespace browser
