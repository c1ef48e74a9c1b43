#pragma once
// Purpose: the speech test dialogs: "Спич тест" for a speech template (insertion list; its speak
//          button opens "Тест произношения" with the text expanded by the preview samples), "Спич
//          тест" for a person's own text (speaks it verbatim itself) and "Тест произношения". The
//          two that speak do so through a voice of their own, at once when they open, and follow
//          its progress. The rules are actions::SpeechTestState's; this widget shows them.
// Threads: the user-interface thread only.
// Owns: the state, its own voice (when its kind speaks) and its child widgets.

#include "app/actions/speech_test_state.h"
#include "app/actions/speech_voice.h"

#include <QDialog>

#include <memory>
#include <optional>

class QLineEdit;
class QPushButton;

namespace ui {

class SpeechTestDialog final : public QDialog {
public:
    // voices must outlive the dialog.
    SpeechTestDialog(actions::SpeechTestKind kind, actions::SpeechVoices& voices, const QString& text,
                     QWidget* parent = nullptr);

    // False when the dialog speaks and the engine gave it no voice: it must not be shown.
    bool CanOpen() const;
    const actions::SpeechTestState& State() const { return state_; }

protected:
    // The first showing speaks at once.
    void showEvent(QShowEvent* event) override;

private:
    void SpeakPressed();
    void ShowState();

    actions::SpeechVoices& voices_;
    actions::SpeechTestState state_;
    // Destroyed before the child widgets it reports to.
    std::unique_ptr<actions::SpeechVoice> voice_;
    QLineEdit* text_ = nullptr;
    QPushButton* speak_ = nullptr;
    bool opened_ = false;
};

// "Спич тест" of a speech template; the edited text on "OK".
std::optional<QString> RunTemplateSpeechTest(QWidget* owner, actions::SpeechVoices& voices, const QString& text);
// "Спич тест" of a person's own text; the edited text on "OK", nothing when cancelled or when no
// voice could be made.
std::optional<QString> RunPersonSpeechTest(QWidget* owner, actions::SpeechVoices& voices, const QString& text);
// "Тест произношения": speaks the text at once; closes at once when no voice could be made.
void RunPronunciationTest(QWidget* owner, actions::SpeechVoices& voices, const QString& text);

}  // namespace ui
