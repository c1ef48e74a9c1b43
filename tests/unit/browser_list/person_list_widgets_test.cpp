// The person list panel and the search window on the offscreen platform.

#include "app/browser/browser_commands.h"
#include "app/ui/person_list_panel.h"
#include "app/ui/person_search_window.h"

#include "tests/unit/browser_list/person_list_rows.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>

namespace {

using browsertest::MakeList;
using database::WatchList;

database::PersonList Persons(int32_t selectId = 0) {
    return MakeList({{4, QStringLiteral("петров"), QStringLiteral("Иван"), WatchList::Red, 2},
                     {1, QStringLiteral("Сидоров"), {}, WatchList::Green, 16},
                     {3, QStringLiteral("Петров"), QStringLiteral("Андрей"), WatchList::Gray, 0}},
                    selectId);
}

QString Cell(const QTableView* view, int row, int column) {
    return view->model()->index(row, column).data().toString();
}

QAction* Find(QMenu* menu, const QString& text) {
    for (QAction* action : menu->actions()) {
        if (action->text() == text) return action;
        if (action->menu() != nullptr) {
            if (QAction* inner = Find(action->menu(), text)) return inner;
        }
    }
    return nullptr;
}

void ClickHeader(QTableView* view, int section) {
    QHeaderView* header = view->horizontalHeader();
    const QPoint at(header->sectionViewportPosition(section) + header->sectionSize(section) / 2, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

TEST(PersonListPanelTest, ShowsSortsAndReportsSelection) {
    ui::PersonListPanel panel(ui::ListFilterRow::Shown);
    panel.resize(500, 400);
    panel.show();
    int selections = 0;
    panel.selectionChanged = [&] { ++selections; };
    panel.SetRows(Persons(4));
    QTableView* view = panel.View();
    EXPECT_EQ(selections, 0);
    EXPECT_EQ(panel.findChild<QLabel*>(QStringLiteral("personCount"))->text(), QStringLiteral("3"));
    ASSERT_EQ(view->model()->rowCount(), 3);
    EXPECT_EQ(view->model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Ф.И.О."));
    EXPECT_EQ(view->columnWidth(0), 62);
    EXPECT_EQ(view->columnWidth(3), 75);
    EXPECT_EQ(Cell(view, 0, 1), QStringLiteral("1"));
    EXPECT_EQ(Cell(view, 0, 2), QStringLiteral("Сидоров  "));
    EXPECT_EQ(Cell(view, 0, 0), QString());  // the list is an icon only
    EXPECT_FALSE(view->model()->index(0, 0).data(Qt::DecorationRole).isNull());
    EXPECT_EQ(view->selectionModel()->selectedRows().value(0).row(), 2);

    ClickHeader(view, 2);
    EXPECT_EQ(panel.Model().SortColumn(), browser::PersonSortColumn::Name);
    EXPECT_EQ(Cell(view, 0, 1), QStringLiteral("3"));
    EXPECT_EQ(Cell(view, 1, 1), QStringLiteral("4"));
    EXPECT_EQ(view->selectionModel()->selectedRows().value(0).row(), 1);  // the selection follows
    ClickHeader(view, 2);
    EXPECT_EQ(Cell(view, 0, 1), QStringLiteral("3"));
    EXPECT_EQ(view->horizontalHeader()->sortIndicatorSection(), 2);
    EXPECT_EQ(view->horizontalHeader()->sortIndicatorOrder(), Qt::AscendingOrder);
    EXPECT_EQ(selections, 0);

    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(view->model()->index(2, 2)).center());
    EXPECT_EQ(selections, 1);
    EXPECT_EQ(panel.Selected()->personId, 1);
}

TEST(PersonListPanelTest, FilterBoxesRefuseToClearTheLastOne) {
    ui::PersonListPanel panel(ui::ListFilterRow::Shown);
    std::vector<settings::DbWinSettings> changes;
    panel.filterChanged = [&](const settings::DbWinSettings& filters) { changes.push_back(filters); };
    panel.SetFilters({0, 1, 0});
    auto* red = panel.findChild<QCheckBox*>(QStringLiteral("filterRed"));
    auto* gray = panel.findChild<QCheckBox*>(QStringLiteral("filterGray"));
    ASSERT_NE(red, nullptr);
    EXPECT_EQ(red->text(), QStringLiteral("Красный"));
    EXPECT_TRUE(red->isChecked());
    red->click();
    EXPECT_TRUE(red->isChecked());
    EXPECT_TRUE(changes.empty());
    gray->click();
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].GrayList, 1);
    red->click();
    EXPECT_FALSE(red->isChecked());
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[1].BlackList, 0);

    ui::PersonListPanel chooserList(ui::ListFilterRow::Hidden);
    EXPECT_EQ(chooserList.findChild<QCheckBox*>(), nullptr);
}

TEST(PersonListPanelTest, ContextMenuEnablesPersonItemsOnASelection) {
    ui::PersonListPanel panel(ui::ListFilterRow::Shown);
    std::vector<int> commands;
    panel.commandChosen = [&](int command) { commands.push_back(command); };
    panel.SetRows(Persons());
    std::unique_ptr<QMenu> menu = panel.CreateContextMenu();
    EXPECT_TRUE(Find(menu.get(), QStringLiteral("Новая персона..."))->isEnabled());
    EXPECT_TRUE(Find(menu.get(), QStringLiteral("Поиск..."))->isEnabled());
    EXPECT_FALSE(Find(menu.get(), QStringLiteral("Удалить"))->isEnabled());
    EXPECT_FALSE(Find(menu.get(), QStringLiteral("Изменить список на"))->isEnabled());

    ASSERT_TRUE(panel.SelectPerson(3));
    menu = panel.CreateContextMenu();
    EXPECT_TRUE(Find(menu.get(), QStringLiteral("Удалить"))->isEnabled());
    EXPECT_TRUE(Find(menu.get(), QStringLiteral("Серый"))->isChecked());
    EXPECT_FALSE(Find(menu.get(), QStringLiteral("Зеленый"))->isChecked());
    Find(menu.get(), QStringLiteral("Красный"))->trigger();
    Find(menu.get(), QStringLiteral("Удалить"))->trigger();
    EXPECT_EQ(commands, (std::vector<int>{browser::kCmdListRed, browser::kCmdDeletePerson}));
    EXPECT_FALSE(panel.SelectPerson(99));
}

TEST(PersonSearchWindowTest, SlidesInFindsAndReports) {
    QWidget browserWindow;
    browserWindow.resize(900, 700);
    auto* panel = new ui::PersonListPanel(ui::ListFilterRow::Shown, &browserWindow);
    panel->resize(900, 700);
    auto* search = new ui::PersonSearchWindow(*panel, &browserWindow);
    int found = 0;
    search->found = [&] { ++found; };
    browserWindow.show();
    panel->SetRows(Persons());
    EXPECT_FALSE(search->isVisible());

    search->SlideIn();
    EXPECT_TRUE(search->isVisible());
    QTest::qWait(static_cast<int>(ui::PersonSearchWindow::kSlideIn.count()) + 150);
    EXPECT_EQ(search->y(), 0);

    auto* fromTop = search->findChild<QPushButton*>(QStringLiteral("searchFromTop"));
    auto* previous = search->findChild<QPushButton*>(QStringLiteral("searchPrevious"));
    auto* status = search->findChild<QLabel*>(QStringLiteral("searchStatus"));
    auto* surname = search->findChild<QLineEdit*>(QStringLiteral("searchSurname"));
    EXPECT_EQ(surname->maxLength(), 63);
    EXPECT_FALSE(fromTop->isEnabled());
    surname->setText(QStringLiteral("пе*"));
    EXPECT_TRUE(fromTop->isEnabled());
    EXPECT_FALSE(previous->isEnabled());  // nobody selected yet

    fromTop->click();
    EXPECT_EQ(found, 1);
    ASSERT_NE(panel->Selected(), nullptr);
    EXPECT_EQ(panel->Selected()->personId, 3);
    EXPECT_EQ(status->text(), QStringLiteral("Найдено"));
    EXPECT_TRUE(previous->isEnabled());
    previous->click();
    EXPECT_EQ(status->text(), QStringLiteral("Не найдено"));
    EXPECT_EQ(panel->Selected()->personId, 3);
    EXPECT_EQ(found, 1);
    surname->setText(QStringLiteral("пет*"));
    EXPECT_EQ(status->text(), QString());

    // "Пол" shows the gender choice only while ticked.
    auto* gender = search->findChild<QCheckBox*>(QStringLiteral("searchGender"));
    QRadioButton* female = nullptr;
    for (QRadioButton* radio : search->findChildren<QRadioButton*>()) {
        if (radio->text() == QStringLiteral("Женский")) female = radio;
    }
    ASSERT_NE(female, nullptr);
    EXPECT_FALSE(female->isVisible());
    gender->click();
    EXPECT_TRUE(female->isVisible());

    search->SlideOut();
    QTest::qWait(static_cast<int>(ui::PersonSearchWindow::kSlideOut.count()) + 150);
    EXPECT_FALSE(search->isVisible());
}

}  // namespace
