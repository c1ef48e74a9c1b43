// The browser's person list without a display: the display order of each column, the selection
// across sorting and re-reading, the context menu, and the list filter check boxes.

#include "app/browser/person_list_details.h"
#include "app/browser/person_list_filter.h"
#include "app/browser/person_list_model.h"

#include "tests/unit/browser_list/person_list_rows.h"

#include <gtest/gtest.h>

namespace {

using browser::FilterToggle;
using browser::PersonListModel;
using browser::PersonSortColumn;
using browsertest::MakeList;
using database::WatchList;

std::vector<int32_t> Ids(const PersonListModel& model) {
    std::vector<int32_t> ids;
    for (size_t row = 0; row < model.RowCount(); ++row) ids.push_back(model.Row(row).personId);
    return ids;
}

PersonListModel Sample(int32_t selectId = 0) {
    PersonListModel model;
    model.SetRows(MakeList({{5, QStringLiteral("иванов"), QStringLiteral("Пётр"), WatchList::Gray, 3},
                            {2, QStringLiteral("Петров"), {}, WatchList::Red, 16},
                            {9, QStringLiteral("Иванов"), QStringLiteral("Андрей"), WatchList::Green, 0},
                            {7, QStringLiteral("Абрамов"), {}, WatchList::Red, 3},
                            {3, QStringLiteral("ИВАНОВ"), QStringLiteral("пётр"), WatchList::Green, 1}},
                           selectId));
    return model;
}

TEST(PersonListModelTest, EachColumnSortsAscendingWithTiesByPersonId) {
    PersonListModel model = Sample();
    EXPECT_EQ(model.SortColumn(), PersonSortColumn::Id);
    EXPECT_EQ(Ids(model), (std::vector<int32_t>{2, 3, 5, 7, 9}));

    // Surnames differing only in letter case sit together, ordered by forename, then id.
    EXPECT_TRUE(model.SortBy(PersonSortColumn::Name));
    EXPECT_EQ(Ids(model), (std::vector<int32_t>{7, 9, 3, 5, 2}));

    EXPECT_TRUE(model.SortBy(PersonSortColumn::List));
    EXPECT_EQ(Ids(model), (std::vector<int32_t>{3, 9, 2, 7, 5}));

    EXPECT_TRUE(model.SortBy(PersonSortColumn::Samples));
    EXPECT_EQ(Ids(model), (std::vector<int32_t>{9, 3, 5, 7, 2}));
}

TEST(PersonListModelTest, ClickingTheCurrentColumnChangesNothing) {
    PersonListModel model = Sample(5);
    ASSERT_TRUE(model.SortBy(PersonSortColumn::Name));
    const std::vector<int32_t> before = Ids(model);
    EXPECT_FALSE(model.SortBy(PersonSortColumn::Name));
    EXPECT_EQ(Ids(model), before);
    EXPECT_EQ(model.SelectedRow(), std::optional<size_t>(3));
}

TEST(PersonListModelTest, SelectionFollowsThePersonThroughSortAndReRead) {
    PersonListModel model = Sample(7);
    ASSERT_EQ(model.SelectedRow(), std::optional<size_t>(3));
    model.SortBy(PersonSortColumn::Name);
    EXPECT_EQ(model.SelectedRow(), std::optional<size_t>(0));
    EXPECT_EQ(model.SelectedPersonId(), 7);

    // A re-read asks for the selected person and keeps the sort column.
    model.SetRows(MakeList({{7, QStringLiteral("Абрамов")}, {1, QStringLiteral("Яковлев")}}, model.SelectedPersonId()));
    EXPECT_EQ(model.SortColumn(), PersonSortColumn::Name);
    EXPECT_EQ(model.Selected()->personId, 7);
    EXPECT_EQ(model.CountText(), QStringLiteral("2"));

    // The person was deleted meanwhile: no selection.
    model.SetRows(MakeList({{1, QStringLiteral("Яковлев")}}, 7));
    EXPECT_EQ(model.Selected(), nullptr);
    EXPECT_EQ(model.SelectedPersonId(), 0);

    model.Select(5);
    EXPECT_EQ(model.Selected(), nullptr);
}

TEST(PersonListModelTest, ContextMenuNeedsASelectedPersonAndMarksItsList) {
    PersonListModel model = Sample();
    browser::PersonMenuState state = model.MenuState();
    EXPECT_FALSE(state.changeList);
    EXPECT_FALSE(state.deletePerson);
    EXPECT_FALSE(state.current.has_value());

    model.Select(model.RowOfPerson(2));
    state = model.MenuState();
    EXPECT_TRUE(state.changeList);
    EXPECT_TRUE(state.deletePerson);
    EXPECT_EQ(state.current, WatchList::Red);
    EXPECT_EQ(browser::PersonFullName(model.Row(0)), QStringLiteral("Петров  "));
}

TEST(ListFilterTest, ClearingTheLastTickedBoxIsRefused) {
    settings::DbWinSettings filters{0, 1, 0};
    EXPECT_EQ(browser::ToggleListFilter(filters, WatchList::Red, false), FilterToggle::Refused);
    EXPECT_EQ(filters.BlackList, 1);

    EXPECT_EQ(browser::ToggleListFilter(filters, WatchList::Gray, true), FilterToggle::Changed);
    EXPECT_EQ(filters.GrayList, 1);
    EXPECT_EQ(browser::ToggleListFilter(filters, WatchList::Gray, true), FilterToggle::Unchanged);
    EXPECT_EQ(browser::ToggleListFilter(filters, WatchList::Green, false), FilterToggle::Unchanged);

    EXPECT_EQ(browser::ToggleListFilter(filters, WatchList::Red, false), FilterToggle::Changed);
    EXPECT_EQ(filters.BlackList, 0);
    EXPECT_EQ(browser::ToggleListFilter(filters, WatchList::Gray, false), FilterToggle::Refused);
    EXPECT_TRUE(browser::ListFilterOn(filters, WatchList::Gray));
    EXPECT_FALSE(browser::ListFilterOn(filters, WatchList::Red));
}

TEST(PersonDetailsTest, GenderAndDateShowAsText) {
    database::PersonRecord person;
    person.fields.gender = database::Gender::Female;
    person.fields.dateOfBirth = database::OleDateOfDay(QDate(1987, 3, 5));
    const std::vector<browser::PersonDetail> details = browser::PersonDetails(&person);
    ASSERT_EQ(details.size(), 10u);
    EXPECT_EQ(details[5].value, QStringLiteral("Женский"));
    EXPECT_EQ(details[6].value, QStringLiteral("05.03.1987"));
    EXPECT_EQ(browser::DateOfBirthText(database::kNoDateOfBirth), QString());
    EXPECT_EQ(browser::PersonDetails(nullptr)[5].value, QString());
}

}  // namespace
