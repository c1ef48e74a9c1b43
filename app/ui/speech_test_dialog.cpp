#include "app/ui/speech_test_dialog.h"

#include "app/ui/insertion_popup.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace ui {

using actions::SpeechTestKind;

SpeechTestDialog::SpeechTestDialog(SpeechTestKind kind, actions::SpeechVoices& voices, const QString& text,
                                   QWidget* parent)
    : QDialog(parent), voices_(voices), state_(kind, text), voice_(voices.CreateVoice()) {
    setObjectName(kind == SpeechTestKind::Pronunciation ? QStringLiteral("PronunciationTestDialog")
                                                        : QStringLiteral("SpeechTestDialog"));
    setWindowTitle(state_.Title());
    setMinimumWidth(420);
    auto* layout = new QVBoxLayout(this);

    auto* row = new QHBoxLayout;
    text_ = new QLineEdit(this);
    text_->setObjectName(QStringLiteral("speechText"));
    text_->setMaxLength(static_cast<int>(state_.TextLimit()));
    text_->setText(state_.Text());
    if (state_.OffersInsertionList()) {
        AttachInsertionPopup(text_, actions::InsertionListOf(actions::TemplateFamily::Speech));
    }
    speak_ = new QPushButton(state_.SpeakCaption(), this);
    speak_->setObjectName(QStringLiteral("speak"));
    speak_->setAutoDefault(false);
    row->addWidget(text_, 1);
    row->addWidget(speak_);
    layout->addLayout(row);

    if (state_.ShowsVoiceDescription()) {
        auto* form = new QFormLayout;
        auto* voice = new QLineEdit(voice_ ? voice_->Description() : QString(), this);
        voice->setObjectName(QStringLiteral("voice"));
        voice->setReadOnly(true);
        form->addRow(QStringLiteral("Голос по умолчанию:"), voice);
        layout->addLayout(form);
    }

    auto* buttons = new QDialogButtonBox(this);
    if (kind == SpeechTestKind::Pronunciation) {
        buttons->addButton(QStringLiteral("Закрыть"), QDialogButtonBox::RejectRole)
            ->setObjectName(QStringLiteral("close"));
    } else {
        QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
        ok->setObjectName(QStringLiteral("ok"));
        ok->setDefault(true);
        buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole)
            ->setObjectName(QStringLiteral("cancel"));
    }
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    // The template dialog only asked its voice for the description; it speaks through
    // "Тест произношения".
    if (!state_.SpeaksItself()) voice_.reset();
    if (voice_) {
        voice_->onProgress = [this](const actions::SpeechProgress& progress) {
            state_.OnProgress(progress);
            ShowState();
        };
    }
    connect(text_, &QLineEdit::textChanged, this, [this](const QString& edited) {
        state_.Edit(edited);
        ShowState();
    });
    connect(speak_, &QPushButton::clicked, this, [this] { SpeakPressed(); });
    text_->setFocus();
    ShowState();
}

bool SpeechTestDialog::CanOpen() const { return voice_ != nullptr || !state_.SpeaksItself(); }

void SpeechTestDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (opened_) return;
    opened_ = true;
    if (state_.SpeaksItself()) SpeakPressed();
}

void SpeechTestDialog::SpeakPressed() {
    const std::optional<QString> spoken = state_.Speak();
    if (!spoken) return;
    if (state_.SpeaksItself()) {
        if (voice_) voice_->Speak(*spoken);
        ShowState();
    } else {
        RunPronunciationTest(this, voices_, *spoken);
    }
}

void SpeechTestDialog::ShowState() {
    text_->setReadOnly(state_.FieldReadOnly());
    speak_->setEnabled(state_.SpeakEnabled());
    if (const std::optional<actions::TextSelection> selection = state_.Selection()) {
        text_->setSelection(static_cast<int>(selection->start), static_cast<int>(selection->length));
    }
}

namespace {

std::optional<QString> RunSpeechTest(SpeechTestKind kind, QWidget* owner, actions::SpeechVoices& voices,
                                     const QString& text) {
    SpeechTestDialog dialog(kind, voices, text, owner);
    if (!dialog.CanOpen()) return std::nullopt;
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.State().Text();
}

}  // namespace

std::optional<QString> RunTemplateSpeechTest(QWidget* owner, actions::SpeechVoices& voices, const QString& text) {
    return RunSpeechTest(SpeechTestKind::Template, owner, voices, text);
}

std::optional<QString> RunPersonSpeechTest(QWidget* owner, actions::SpeechVoices& voices, const QString& text) {
    return RunSpeechTest(SpeechTestKind::PersonText, owner, voices, text);
}

void RunPronunciationTest(QWidget* owner, actions::SpeechVoices& voices, const QString& text) {
    RunSpeechTest(SpeechTestKind::Pronunciation, owner, voices, text);
}

}  // namespace ui
