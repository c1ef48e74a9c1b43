#pragma once
// Purpose: the "Метрики" page of the person card: the person's fields with a marker beside each,
//          the speech " Тест" button and the slot of the photo pad. Every edit goes to
//          browser::CardEditor, which decides what is kept, what is marked and what is enabled.
// Threads: the user-interface thread only.
// Owns: its child widgets (through Qt's parent ownership); the editor belongs to the card.

#include "app/browser/card_editor.h"

#include <QWidget>

#include <array>
#include <functional>
#include <utility>
#include <vector>

class QGridLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QVBoxLayout;

namespace ui {

class CardDateEdit;

class CardMetricsPage final : public QWidget {
public:
    explicit CardMetricsPage(browser::CardEditor& editor, QWidget* parent = nullptr);

    // Shows the editor's values without taking them for edits.
    void Fill();
    // The markers and the " Тест" button as the editor has them.
    void Refresh();
    // The photo pad under "Фото персоны:"; the page takes it as a child.
    void SetPhotoPad(QWidget* pad);
    // Replaces the speech text as if typed (the speech test dialog's result).
    void SetSpeech(const QString& text);

    // After every edit the editor took.
    std::function<void()> onEdited;
    // " Тест" pressed.
    std::function<void()> onTestSpeech;

private:
    // A row of the grid: caption, edit and the marker named name + "Marker".
    void AddRow(browser::CardField field, const QString& label, QWidget* edit, const QString& name);
    // A one-line edit whose every change goes to the editor.
    QLineEdit* LineEdit(browser::CardField field, const QString& name, QWidget* parent);
    void AddLineEdit(browser::CardField field, const QString& label, const QString& name);
    void Edited();

    browser::CardEditor& editor_;
    QGridLayout* grid_ = nullptr;
    std::vector<std::pair<browser::CardField, QLineEdit*>> lines_;
    QPlainTextEdit* description_ = nullptr;
    QRadioButton* male_ = nullptr;
    QRadioButton* female_ = nullptr;
    CardDateEdit* dateOfBirth_ = nullptr;
    QLineEdit* speech_ = nullptr;
    QPushButton* testSpeech_ = nullptr;
    QVBoxLayout* photoSlot_ = nullptr;
    std::array<QLabel*, std::size(browser::kCardFields)> markers_{};
    bool filling_ = false;
};

}  // namespace ui
