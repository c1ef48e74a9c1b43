#pragma once
// Purpose: the database browser window's menus and toolbar as data (texts, command ids, tooltips)
//          and which commands need a selected person.
// Threads: any (constant tables and pure functions).
// Owns: nothing.

#include "app/browser/browser_commands.h"

#include <QString>

#include <vector>

namespace browser {

inline const QString kBrowserTitle = QStringLiteral("База данных Ostrovid");

struct BrowserMenuItem {
    QString text;     // empty: a separator
    int command = 0;  // 0 with items: a submenu
    std::vector<BrowserMenuItem> items;
};

struct BrowserMenu {
    QString title;
    std::vector<BrowserMenuItem> items;
};

struct BrowserToolButton {
    QString text;
    int command = 0;
    QString tooltip;
    bool dropDown = false;  // the list menu
};

// "&Файл" and "&Персона".
const std::vector<BrowserMenu>& BrowserMenus();
// "Закрыть", "Настройки...", "Новая персона...", "Изменить список...", "Удалить", "Поиск...".
const std::vector<BrowserToolButton>& BrowserToolButtons();
// The three lists of the "Изменить список" menu and drop-down, in list order.
const std::vector<BrowserMenuItem>& ListMenuItems();

// Changing the list and deleting need a selected person; the other commands are always offered.
bool BrowserCommandEnabled(int command, bool personSelected);

}  // namespace browser
