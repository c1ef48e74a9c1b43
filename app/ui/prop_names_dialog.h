#pragma once
// Purpose: the "Дополнительные поля персон" dialog and its "Название поля" name dialog: the
//          controls only; database::PropNameEditor holds the names and performs every step, and
//          browser::PropNameCommandsFor decides which commands apply.
// Threads: the user-interface thread only.
// Owns: its child widgets; the editor is borrowed for the dialog's lifetime.

#include "app/database/prop_name_editor.h"

#include <QDialog>

#include <optional>

class QAction;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace ui {

// "Название поля": one edit of at most 63 characters; "OK" only with a name left after trimming.
class PropNameInputDialog final : public QDialog {
public:
    PropNameInputDialog(const QString& name, QWidget* parent);
    // The name as kept (trimmed).
    QString Name() const;

private:
    QLineEdit* edit_;
};

class PropNamesDialog final : public QDialog {
public:
    PropNamesDialog(database::PropNameEditor& editor, QWidget* parent);

    // The steps behind the buttons and the menu items; Add and Edit open the name dialog.
    void Add();
    void Edit();
    void Remove();
    void MoveUp();
    void MoveDown();
    std::optional<size_t> Selected() const;

private:
    // Shows the editor's names, selecting `selected`, and enables the commands.
    void Refill(std::optional<size_t> selected);
    void UpdateCommands();

    database::PropNameEditor& editor_;
    QTreeWidget* list_;
    QPushButton* edit_;
    QPushButton* remove_;
    QPushButton* up_;
    QPushButton* down_;
    QAction* editItem_;
    QAction* removeItem_;
    QAction* upItem_;
    QAction* downItem_;
};

}  // namespace ui
