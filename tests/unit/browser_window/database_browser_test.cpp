// The database browser window and the property-names dialog on the offscreen platform.

#include "app/ui/database_browser.h"
#include "app/browser/browser_commands.h"
#include "app/ui/person_card_widget.h"
#include "app/ui/person_list_panel.h"
#include "app/ui/person_search_window.h"
#include "app/ui/prop_names_dialog.h"
#include "app/ui/split_pane.h"
#include "settings/settings_hub.h"
#include "settings/settings_state.h"
#include "tests/integration/database/db_test_support.h"
#include "tests/integration/database/scripted_dialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <cstring>

namespace {

using namespace browser;

void SetConnectionString(settings::SettingsHub& hub, const QString& text) {
    hub.Update([&text](settings::SettingsState& s) {
        auto& target = s.DbConnectionString;
        std::memset(target, 0, sizeof target);
        std::memcpy(target, text.utf16(), sizeof(char16_t) * std::min<size_t>(text.size(), 1023));
    });
}

// Runs `act` on the modal box shown next; its text is kept.
void OnNextBox(QString* text, QMessageBox::StandardButton button) {
    QTimer::singleShot(0, [text, button] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        *text = box->windowTitle() + u'|' + box->text();
        box->button(button)->click();
    });
}

QStringList MenuTexts(const QMenu* menu) {
    QStringList texts;
    for (QAction* action : menu->actions()) {
        if (!action->isSeparator()) texts.append(action->text());
    }
    return texts;
}

TEST(DatabaseBrowserWindow, OpensWithItsMenusToolbarAndDivisionAndCloses) {
    dbtest::TestDatabase db(database::DbProvider::SQLite);
    database::DbConnection seed;
    seed.Open(db.ConnectionString());
    const int person = dbtest::AddPerson(seed, "Титов");
    settings::SettingsState state;
    state.dbWin = {1, 1, 1};
    state.DbDivProportion = 0.9;
    settings::SettingsHub hub(state);
    const shell::Journal journal;

    QWidget owner;
    dbtest::ScriptedDialogs dialogs;
    auto window = std::make_unique<ui::DatabaseBrowser>(browser::OpenBrowserConnection(dialogs, db.ConnectionString()),
                                                        db.ConnectionString(), journal, hub, nullptr, &owner);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("База данных Ostrovid"));
    EXPECT_EQ(window->minimumSize(), QSize(800, 600));
    EXPECT_DOUBLE_EQ(window->Division()->Proportion(), 0.7);

    const QList<QMenu*> menus = window->findChild<QMenuBar*>()->findChildren<QMenu*>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(menus.size(), 2);
    EXPECT_EQ(menus[0]->title(), QStringLiteral("&Файл"));
    EXPECT_EQ(MenuTexts(menus[0]), (QStringList{"&Настройки базы данных...", "&Закрыть"}));
    EXPECT_EQ(menus[1]->title(), QStringLiteral("&Персона"));
    EXPECT_EQ(MenuTexts(menus[1]), (QStringList{"&Новая...", "&Изменить список", "Поиск..."}));
    EXPECT_EQ(MenuTexts(menus[1]->actions()[1]->menu()), (QStringList{"&Зеленый", "&Красный", "&Серый"}));

    const std::vector<std::pair<int, QString>> tips = {
        {kCmdClose, "Завершить просмотр/редактирование БД"},
        {kCmdDbSettings, "Настройки базы данных..."},
        {kCmdNewPerson, "Добавить новую персону..."},
        {kCmdChangeList, "Изменить список для выбранной персоны..."},
        {kCmdDeletePerson, "Удалить выбранную персону"},
        {kCmdSearch, "Найти персону по параметрам..."},
    };
    for (const auto& [command, tip] : tips) {
        ASSERT_NE(window->ToolButton(command), nullptr) << command;
        EXPECT_EQ(window->ToolButton(command)->toolTip(), tip);
    }
    EXPECT_EQ(window->ToolButton(kCmdChangeList)->menu(), window->ListMenu());

    // Deleting and changing the list wait for a selected person.
    EXPECT_FALSE(window->ToolButton(kCmdDeletePerson)->isEnabled());
    EXPECT_FALSE(window->MenuAction(kCmdListRed)->isEnabled());
    window->SelectPerson(person);
    ASSERT_NE(window->List()->Selected(), nullptr);
    EXPECT_EQ(window->List()->Selected()->personId, person);
    ASSERT_NE(window->State().Shown(), nullptr);
    EXPECT_EQ(window->State().Shown()->person.personId, person);
    EXPECT_TRUE(window->Card()->Editor().HasPerson());
    EXPECT_TRUE(window->ToolButton(kCmdDeletePerson)->isEnabled());
    EXPECT_TRUE(window->MenuAction(kCmdListRed)->isEnabled());

    window->show();
    QApplication::processEvents();
    window->OnCommand(kCmdSearch);
    EXPECT_TRUE(window->Search()->isVisible());
    window->OnCommand(kCmdClose);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Rejected);
}

TEST(DatabaseBrowserWindow, LeavingACardWithEditsAsksAndCancelKeepsTheRowSelected) {
    dbtest::TestDatabase db(database::DbProvider::SQLite);
    database::DbConnection seed;
    seed.Open(db.ConnectionString());
    const int first = dbtest::AddPerson(seed, "Абрамов");
    const int second = dbtest::AddPerson(seed, "Борисов");
    settings::SettingsState state;
    state.dbWin = {1, 1, 1};
    settings::SettingsHub hub(state);
    const shell::Journal journal;
    dbtest::ScriptedDialogs dialogs;
    ui::DatabaseBrowser window(browser::OpenBrowserConnection(dialogs, db.ConnectionString()), db.ConnectionString(),
                               journal, hub, nullptr, nullptr);
    window.SelectPerson(first);
    auto* surname = window.Card()->findChild<QLineEdit*>(QStringLiteral("surname"));
    ASSERT_NE(surname, nullptr);
    surname->setText(QStringLiteral("Абрамова"));
    ASSERT_TRUE(window.Card()->Editor().IsDirty());

    QString box;
    OnNextBox(&box, QMessageBox::Cancel);
    window.SelectPerson(second);
    EXPECT_EQ(box, QStringLiteral("Vektra Ostrovid v.2.2.0|Сохранить изменения?"));
    EXPECT_EQ(window.List()->Selected()->personId, first);
    EXPECT_EQ(window.State().Shown()->person.personId, first);
    EXPECT_EQ(surname->text(), QStringLiteral("Абрамова"));

    OnNextBox(&box, QMessageBox::Yes);
    window.SelectPerson(second);
    EXPECT_EQ(window.List()->Selected()->personId, second);
    EXPECT_EQ(window.State().Shown()->person.personId, second);
    EXPECT_EQ(
        dbtest::QueryInt(seed, "SELECT COUNT(*) AS N FROM PERSONS WHERE SURNAME = ?", {QStringLiteral("Абрамова")}), 1);
}

TEST(DatabaseBrowserWindow, AConnectionFailureIsShownAndNoWindowOpens) {
    settings::SettingsHub hub;
    SetConnectionString(hub, QStringLiteral("Provider=SQLite;Data Source=/nonexistent/folder/ostrovid.db"));
    QString box;
    OnNextBox(&box, QMessageBox::Ok);
    QWidget owner;
    ui::OpenDatabaseBrowser(&owner, shell::Journal(), hub, nullptr);
    EXPECT_TRUE(box.startsWith(QStringLiteral("Соединение с базой данных|"))) << box.toStdString();
    EXPECT_EQ(owner.findChild<ui::DatabaseBrowser*>(), nullptr);
}

TEST(PropNamesDialog, ButtonsFollowTheSelectionAndEditTheCopy) {
    database::PropNames read;
    for (const char* name : {"Рост", "Вес"}) {
        auto prop = std::make_unique<database::PropName>();
        prop->propId = static_cast<int32_t>(read.size()) + 1;
        prop->name = QString::fromUtf8(name);
        read.push_back(std::move(prop));
    }
    database::PropNameEditor editor(read);
    ui::PropNamesDialog dialog(editor, nullptr);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Дополнительные поля персон"));
    auto* list = dialog.findChild<QTreeWidget*>(QStringLiteral("names"));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->headerItem()->text(0), QStringLiteral("Название поля"));
    EXPECT_EQ(list->columnWidth(0), 400);
    const auto button = [&](const char* name) { return dialog.findChild<QPushButton*>(QString::fromLatin1(name)); };
    EXPECT_EQ(dialog.Selected(), std::optional<size_t>(0));
    EXPECT_FALSE(button("up")->isEnabled());
    EXPECT_TRUE(button("down")->isEnabled());

    button("down")->click();
    EXPECT_EQ(editor.Names()[1]->name, QStringLiteral("Рост"));
    EXPECT_EQ(dialog.Selected(), std::optional<size_t>(1));
    EXPECT_FALSE(button("down")->isEnabled());

    // "Добавить...": the name dialog keeps OK off for blanks and trims what it keeps.
    QTimer::singleShot(0, [] {
        auto* input = dynamic_cast<ui::PropNameInputDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(input, nullptr);
        auto* edit = input->findChild<QLineEdit*>(QStringLiteral("name"));
        auto* ok = input->findChild<QPushButton*>(QStringLiteral("ok"));
        EXPECT_EQ(edit->maxLength(), 63);
        edit->setText(QStringLiteral("   "));
        EXPECT_FALSE(ok->isEnabled());
        edit->setText(QStringLiteral("  Цвет глаз "));
        ok->click();
    });
    button("add")->click();
    ASSERT_EQ(editor.Names().size(), 3u);
    EXPECT_EQ(editor.Names()[2]->name, QStringLiteral("Цвет глаз"));
    EXPECT_EQ(editor.Names()[2]->propId, 0);
    EXPECT_EQ(dialog.Selected(), std::optional<size_t>(2));

    button("remove")->click();
    EXPECT_EQ(editor.Names().size(), 2u);
    EXPECT_EQ(dialog.Selected(), std::optional<size_t>(1));
}

}  // namespace
