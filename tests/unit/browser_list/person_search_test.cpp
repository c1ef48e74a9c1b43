// The search window without a display: wildcard matching, which persons match the form, the three
// directions over the display order, the buttons' enabling and the status.

#include "app/browser/person_search.h"
#include "app/browser/person_search_match.h"

#include "tests/unit/browser_list/person_list_rows.h"

#include <gtest/gtest.h>

namespace {

using browser::PersonSearch;
using browser::SearchDirection;
using browser::SearchField;
using browser::SearchStatus;
using browser::WildcardMatch;
using browsertest::MakeList;

TEST(WildcardMatchTest, StarAndQuestionMarkCoverTheWholeText) {
    const QString ivanov = QStringLiteral("Иванов");
    EXPECT_TRUE(WildcardMatch(QStringLiteral("Иванов"), ivanov));
    EXPECT_FALSE(WildcardMatch(QStringLiteral("Иван"), ivanov));  // no partial match
    EXPECT_TRUE(WildcardMatch(QStringLiteral("ив*"), ivanov));
    EXPECT_TRUE(WildcardMatch(QStringLiteral("ИВ*"), ivanov));
    EXPECT_FALSE(WildcardMatch(QStringLiteral("*ив"), ivanov));
    EXPECT_TRUE(WildcardMatch(QStringLiteral("*ов"), ivanov));
    EXPECT_TRUE(WildcardMatch(QStringLiteral("**"), ivanov));
    EXPECT_TRUE(WildcardMatch(QStringLiteral("*"), QString()));
    EXPECT_TRUE(WildcardMatch(QStringLiteral("**"), QString()));
    EXPECT_FALSE(WildcardMatch(QStringLiteral("?"), QString()));
    EXPECT_FALSE(WildcardMatch(QStringLiteral("*?"), QString()));
    EXPECT_TRUE(WildcardMatch(QStringLiteral("*?"), QStringLiteral("я")));
    EXPECT_TRUE(WildcardMatch(QStringLiteral("?ванов"), ivanov));
    EXPECT_FALSE(WildcardMatch(QStringLiteral("???????"), ivanov));
    EXPECT_TRUE(WildcardMatch(QStringLiteral("и*а*в"), ivanov));
    EXPECT_TRUE(WildcardMatch(QStringLiteral("*в*в"), ivanov));  // the first * must give back
    EXPECT_FALSE(WildcardMatch(QStringLiteral("*в*в*в"), ivanov));
    EXPECT_TRUE(WildcardMatch(QStringLiteral("ЁЛКИН"), QStringLiteral("ёлкин")));
    EXPECT_TRUE(WildcardMatch(QStringLiteral("o'brien*"), QStringLiteral("O'Brien-Smith")));
    // Characters that mean something in other pattern languages are plain here.
    EXPECT_TRUE(WildcardMatch(QStringLiteral("д. [5]; кв.*"), QStringLiteral("Д. [5]; кв. 3")));
    EXPECT_FALSE(WildcardMatch(QStringLiteral("a.c"), QStringLiteral("abc")));
    EXPECT_FALSE(WildcardMatch(QString(), ivanov));
    // Backtracking stays cheap on a long text.
    EXPECT_FALSE(WildcardMatch(QStringLiteral("*a*a*a*a*a*b"), QString(255, u'a')));
}

// Ids 1..5 in id order; surnames so that "ив*" matches rows 1 and 3 (ids 2 and 4).
database::PersonList Persons(int32_t selectId = 0) {
    return MakeList(
        {{1, QStringLiteral("Абрамов")},
         {2, QStringLiteral("ИВАНОВ"), QStringLiteral("Пётр"), database::WatchList::Green, 0, database::Gender::Female},
         {3, QStringLiteral("Петров")},
         {4, QStringLiteral("иволгин"), QStringLiteral("Пётр")},
         {5, QStringLiteral("Яковлев")}},
        selectId);
}

TEST(PersonSearchTest, DirectionsFollowTheDisplayOrder) {
    browser::PersonListModel list;
    list.SetRows(Persons());
    PersonSearch search;
    search.SetField(SearchField::Surname, QStringLiteral("ив*"));

    EXPECT_EQ(search.Find(list, SearchDirection::FromTop), std::optional<size_t>(1));
    EXPECT_EQ(search.Status(), SearchStatus::Found);

    list.Select(1);
    EXPECT_EQ(search.Find(list, SearchDirection::Next), std::optional<size_t>(3));
    list.Select(3);
    EXPECT_EQ(search.Find(list, SearchDirection::Next), std::nullopt);
    EXPECT_EQ(search.Status(), SearchStatus::NotFound);
    EXPECT_EQ(search.Find(list, SearchDirection::Previous), std::optional<size_t>(1));
    list.Select(1);
    EXPECT_EQ(search.Find(list, SearchDirection::Previous), std::nullopt);

    // From the first row there is nothing before.
    search.SetField(SearchField::Surname, QStringLiteral("*"));
    EXPECT_EQ(search.Status(), SearchStatus::None);  // editing clears the status
    list.Select(0);
    EXPECT_EQ(search.Find(list, SearchDirection::Previous), std::nullopt);
    EXPECT_EQ(search.Status(), SearchStatus::NotFound);
    EXPECT_EQ(browser::SearchStatusText(search.Status()), QStringLiteral("Не найдено"));

    // The directions follow the display order, not the ids.
    search.SetField(SearchField::Surname, QStringLiteral("ив*"));
    list.Select(list.RowOfPerson(3));
    EXPECT_EQ(list.Row(*search.Find(list, SearchDirection::Previous)).personId, 2);
    list.SortBy(browser::PersonSortColumn::Name);  // Абрамов, ИВАНОВ, иволгин, Петров, Яковлев
    EXPECT_EQ(list.Row(*search.Find(list, SearchDirection::Previous)).personId, 4);
}

TEST(PersonSearchTest, EveryFilledFieldAndTheGenderMustMatch) {
    browser::PersonListModel list;
    list.SetRows(Persons());
    PersonSearch search;
    search.SetField(SearchField::Forename, QStringLiteral("пётр"));
    EXPECT_EQ(list.Row(*search.Find(list, SearchDirection::FromTop)).personId, 2);
    search.SetGenderChecked(true);  // male by default
    EXPECT_EQ(list.Row(*search.Find(list, SearchDirection::FromTop)).personId, 4);
    search.SetGender(database::Gender::Female);
    search.SetField(SearchField::Surname, QStringLiteral("и?олгин"));
    EXPECT_EQ(search.Find(list, SearchDirection::FromTop), std::nullopt);

    // An empty person field matches "*" but not a pattern needing a character.
    PersonSearch alias;
    alias.SetField(SearchField::Alias, QStringLiteral("*"));
    EXPECT_TRUE(alias.Matches(list.Row(0)));
    alias.SetField(SearchField::Alias, QStringLiteral("?*"));
    EXPECT_FALSE(alias.Matches(list.Row(0)));
    EXPECT_FALSE(PersonSearch().Matches(list.Row(0)));
}

TEST(PersonSearchTest, ButtonsNeedCriteriaRowsAndForNextASelection) {
    browser::PersonListModel list;
    PersonSearch search;
    const auto buttons = [&] {
        const browser::SearchButtons b = search.Buttons(list);
        return std::vector<bool>{b.fromTop, b.next, b.previous};
    };
    EXPECT_EQ(buttons(), (std::vector<bool>{false, false, false}));
    search.SetGenderChecked(true);
    EXPECT_EQ(buttons(), (std::vector<bool>{false, false, false}));  // empty list
    list.SetRows(Persons());
    EXPECT_EQ(buttons(), (std::vector<bool>{true, false, false}));
    list.Select(2);
    EXPECT_EQ(buttons(), (std::vector<bool>{true, true, true}));
    search.SetGenderChecked(false);
    EXPECT_EQ(buttons(), (std::vector<bool>{false, false, false}));
    search.SetField(SearchField::Description, QStringLiteral("x"));
    EXPECT_EQ(buttons(), (std::vector<bool>{true, true, true}));

    EXPECT_EQ(browser::SearchFieldLimit(SearchField::SecondName), 63);
    EXPECT_EQ(browser::SearchFieldLimit(SearchField::Alias), 15);
    EXPECT_EQ(browser::SearchFieldLimit(SearchField::ExternalKey), 31);
    EXPECT_EQ(browser::SearchFieldLimit(SearchField::Contacts), 255);
}

}  // namespace
