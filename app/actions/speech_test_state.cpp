#include "app/actions/speech_test_state.h"

#include "app/actions/message_templates.h"

#include <algorithm>
#include <utility>

namespace actions {

SpeechTestState::SpeechTestState(SpeechTestKind kind, QString text)
    : kind_(kind), text_(std::move(text)), limit_(std::max(kTextLimit, text_.size())) {}

QString SpeechTestState::Title() const {
    return kind_ == SpeechTestKind::Pronunciation ? QStringLiteral("Тест произношения") : QStringLiteral("Спич тест");
}

QString SpeechTestState::SpeakCaption() const {
    return kind_ == SpeechTestKind::Pronunciation ? QStringLiteral(" Повтор") : QStringLiteral(" Произнести");
}

void SpeechTestState::Edit(const QString& text) {
    text_ = text.left(limit_);
    selection_.reset();
}

std::optional<QString> SpeechTestState::Speak() {
    if (!SpeakEnabled()) return std::nullopt;
    if (kind_ == SpeechTestKind::Template) return ExpandSpeechTemplate(text_, nullptr);
    speaking_ = true;
    spokenLength_ = text_.size();
    selection_.reset();
    return text_;
}

void SpeechTestState::OnProgress(const SpeechProgress& progress) {
    if (!speaking_) return;  // a late report must not move the operator's caret
    if (progress.kind == SpeechProgress::Kind::EndOfText) {
        speaking_ = false;
        selection_ = TextSelection{0, text_.size()};
        return;
    }
    // The engine's positions are trusted no further than the text it was given.
    const qsizetype start = std::clamp<qsizetype>(progress.position, 0, spokenLength_);
    const qsizetype length = std::clamp<qsizetype>(progress.length, 0, spokenLength_ - start);
    selection_ = TextSelection{start, length};
}

}  // namespace actions
