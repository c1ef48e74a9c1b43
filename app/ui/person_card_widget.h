#pragma once
// Purpose: the person card of the database browser: the pages "Метрики", "Дополнительно" and
//          "Образцы" under a toolbar with "Сохранить изменения". The card's state and rules are
//          browser::CardEditor's; this widget shows them and forwards the operator's input. The
//          photo pad and the sample pad are made by the browser window and placed here.
// Threads: the user-interface thread only.
// Owns: the editor and its child widgets (through Qt's parent ownership).

#include "app/browser/card_editor.h"

#include <QWidget>

#include <functional>

class QAction;
class QTabWidget;
class QVBoxLayout;

namespace ui {

class CardMetricsPage;
class CardPropertiesPage;

class PersonCardWidget final : public QWidget {
public:
    enum class Page { Metrics = 0, Properties = 1, Samples = 2 };

    explicit PersonCardWidget(QWidget* parent = nullptr);

    // The pads the browser window makes; the card takes them as children.
    void SetPhotoPad(QWidget* pad);
    void SetSamplePad(QWidget* pad);
    // The speech voices found at start-up (" Тест" needs one).
    void SetSpeechVoiceCount(int voices);

    // Shows the person the browser read and enables the pages.
    void ShowPerson(database::PersonCard card);
    // No person selected: empty and disabled.
    void ClearPerson();
    void ShowPage(Page page);

    // "Сохранить изменения" (the browser window runs it when onSave is called): DbOpCancel means
    // the browser closes.
    database::DbOpResult Save(database::DbSession& session);
    // Before another person is shown or the browser closes (see browser::CardEditor).
    browser::LeaveOutcome ConfirmLeave(database::DbSession& session);
    // The speech test dialog's text replaces the speech field.
    void SetSpeech(const QString& text);

    const browser::CardEditor& Editor() const { return editor_; }

    // The save button was pressed (command browser::kCmdSaveCard).
    std::function<void()> onSave;
    // " Тест" was pressed with the speech text.
    std::function<void(const QString& speech)> onTestSpeech;

private:
    // Fills the pages anew from the editor.
    void ShowEditor();
    void ShowDirty();

    browser::CardEditor editor_;
    QAction* save_ = nullptr;
    QTabWidget* pages_ = nullptr;
    CardMetricsPage* metrics_ = nullptr;
    CardPropertiesPage* properties_ = nullptr;
    QWidget* samples_ = nullptr;
    QVBoxLayout* sampleSlot_ = nullptr;
};

}  // namespace ui
