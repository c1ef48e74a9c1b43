#include "app/browser/browser_menus.h"

namespace browser {

const std::vector<BrowserMenuItem>& ListMenuItems() {
    static const std::vector<BrowserMenuItem> items = {
        {QStringLiteral("&Зеленый"), kCmdListGreen, {}},
        {QStringLiteral("&Красный"), kCmdListRed, {}},
        {QStringLiteral("&Серый"), kCmdListGray, {}},
    };
    return items;
}

const std::vector<BrowserMenu>& BrowserMenus() {
    static const std::vector<BrowserMenu> menus = {
        {QStringLiteral("&Файл"),
         {
             {QStringLiteral("&Настройки базы данных..."), kCmdDbSettings, {}},
             {QString(), 0, {}},
             {QStringLiteral("&Закрыть"), kCmdClose, {}},
         }},
        {QStringLiteral("&Персона"),
         {
             {QStringLiteral("&Новая..."), kCmdNewPerson, {}},
             {QStringLiteral("&Изменить список"), 0, ListMenuItems()},
             {QStringLiteral("Поиск..."), kCmdSearch, {}},
         }},
    };
    return menus;
}

const std::vector<BrowserToolButton>& BrowserToolButtons() {
    static const std::vector<BrowserToolButton> buttons = {
        {QStringLiteral("Закрыть"), kCmdClose, QStringLiteral("Завершить просмотр/редактирование БД"), false},
        {QStringLiteral("Настройки..."), kCmdDbSettings, QStringLiteral("Настройки базы данных..."), false},
        {QStringLiteral("Новая персона..."), kCmdNewPerson, QStringLiteral("Добавить новую персону..."), false},
        {QStringLiteral("Изменить список..."), kCmdChangeList,
         QStringLiteral("Изменить список для выбранной персоны..."), true},
        {QStringLiteral("Удалить"), kCmdDeletePerson, QStringLiteral("Удалить выбранную персону"), false},
        {QStringLiteral("Поиск..."), kCmdSearch, QStringLiteral("Найти персону по параметрам..."), false},
    };
    return buttons;
}

bool BrowserCommandEnabled(int command, bool personSelected) {
    switch (command) {
    case kCmdChangeList:
    case kCmdListGreen:
    case kCmdListRed:
    case kCmdListGray:
    case kCmdDeletePerson:
        return personSelected;
    default:
        return true;
    }
}

}  // namespace browser
