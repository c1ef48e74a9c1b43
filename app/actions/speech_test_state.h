#pragma once
// Purpose: what a speech test dialog shows and allows: its layout by kind ("Спич тест" for a
//          template or for a person's own text, "Тест произношения"), the text and its length
//          limit, what the speak button hands on, and, while its own voice speaks, the word
//          selected in the field, the field locked and the button disabled until the end.
// Threads: the user-interface thread only.
// Owns: the text.

#include "app/actions/speech_voice.h"

#include <QString>

#include <optional>

namespace actions {

enum class SpeechTestKind {
    Template,       // a record's speech template: insertion list, speaks through "Тест произношения"
    PersonText,     // a person's own text: spoken verbatim by the dialog itself
    Pronunciation,  // "Тест произношения": speaks the text it was given
};

struct TextSelection {
    qsizetype start = 0;
    qsizetype length = 0;
    friend bool operator==(const TextSelection&, const TextSelection&) = default;
};

class SpeechTestState {
public:
    static constexpr qsizetype kTextLimit = 255;

    SpeechTestState(SpeechTestKind kind, QString text);

    SpeechTestKind Kind() const { return kind_; }
    QString Title() const;
    // " Произнести", or " Повтор" in "Тест произношения".
    QString SpeakCaption() const;
    bool OffersInsertionList() const { return kind_ == SpeechTestKind::Template; }
    bool ShowsVoiceDescription() const { return kind_ != SpeechTestKind::Pronunciation; }
    // The dialog speaks through a voice of its own, and at once when it opens; without that voice
    // it cannot work and closes.
    bool SpeaksItself() const { return kind_ != SpeechTestKind::Template; }

    // The operator types up to the limit; a longer text the dialog was opened with (an expanded
    // template, a stored text) is never cut.
    qsizetype TextLimit() const { return limit_; }
    const QString& Text() const { return text_; }
    void Edit(const QString& text);

    bool Speaking() const { return speaking_; }
    bool FieldReadOnly() const { return speaking_; }
    bool SpeakEnabled() const { return !speaking_ && !text_.isEmpty(); }

    // The speak button: a template expanded with the preview samples (for "Тест произношения"),
    // any other text verbatim for the dialog's own voice, which then counts as speaking. Nothing
    // while the button is disabled: an empty text would never report its end.
    std::optional<QString> Speak();
    // The own voice's report about the text Speak returned.
    void OnProgress(const SpeechProgress& progress);
    // What the field selects after the last report: the word being spoken, the whole text at the
    // end; nothing before the first report or after an edit.
    std::optional<TextSelection> Selection() const { return selection_; }

private:
    SpeechTestKind kind_;
    QString text_;
    qsizetype limit_;
    bool speaking_ = false;
    qsizetype spokenLength_ = 0;
    std::optional<TextSelection> selection_;
};

}  // namespace actions
