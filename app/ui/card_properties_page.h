#pragma once
// Purpose: the "Дополнительно" page of the person card: the person's properties with a marker
//          column, the in-place edit over a value and the commands "Изменить значение" and
//          "Удалить значение". Every change goes to browser::CardEditor.
// Threads: the user-interface thread only.
// Owns: its child widgets (through Qt's parent ownership); the editor belongs to the card.

#include "app/browser/card_editor.h"

#include <QWidget>

#include <functional>
#include <optional>

class QAction;
class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace ui {

class CardPropertiesPage final : public QWidget {
public:
    explicit CardPropertiesPage(browser::CardEditor& editor, QWidget* parent = nullptr);

    // One row per property of the editor's card (none without a person).
    void Fill();
    // The rows' values and markers as the editor has them (after a save).
    void Refresh();

    // "Изменить значение" on the current row: the in-place edit over its value.
    void EditCurrentValue();
    // "Удалить значение" on the current row.
    void ClearCurrentValue();

    // After every change of a value the editor took.
    std::function<void()> onEdited;

private:
    std::optional<size_t> CurrentRow() const;
    void ShowRow(size_t row);
    void OpenEdit(size_t row);
    void CloseEdit();
    void ShowCommands();

    browser::CardEditor& editor_;
    QTreeWidget* list_ = nullptr;
    QLineEdit* valueEdit_ = nullptr;
    QAction* edit_ = nullptr;
    QAction* clear_ = nullptr;
    std::optional<size_t> editedRow_;
};

}  // namespace ui
