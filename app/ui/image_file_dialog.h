#pragma once
// Purpose: what the photo pad and the sample pad share for adding a picture: the open-file
//          dialog, the "Добавить..." actions, and whether the clipboard holds a bitmap.
// Threads: the user-interface thread.
// Owns: nothing; the actions belong to the widget they were made for.

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

class QAction;
class QToolBar;
class QToolButton;
class QWidget;

namespace ui {

// The open-file dialog for a picture, owned by the given window: nothing when cancelled. The
// process's current directory is set back to the program's folder afterwards.
std::optional<QString> ChooseImageFile(QWidget* owner);

// The image filters as they appear and as they match: "Точечные рисунки" first.
struct ImageFileFilter {
    QString text;
    QStringList patterns;
};
const std::vector<ImageFileFilter>& ImageFileFilters();

bool ClipboardHoldsBitmap();

// "Добавить из файла..." (asks for the file, then calls onFile with its path) and "Добавить из
// буфера обмена", owned by owner; both go into the pad's menus.
struct PictureAddActions {
    QAction* fromFile = nullptr;
    QAction* fromClipboard = nullptr;
};
PictureAddActions CreatePictureAddActions(QWidget* owner, std::function<void(const QString& path)> onFile,
                                          std::function<void()> onClipboard);
// The toolbar's "Добавить..." button: pressing it or its arrow drops the two actions down.
QToolButton* AddPictureButton(QToolBar* toolbar, const PictureAddActions& actions, const QString& toolTip);

}  // namespace ui
