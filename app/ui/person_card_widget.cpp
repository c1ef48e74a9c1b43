#include "app/ui/person_card_widget.h"

#include "app/browser/browser_commands.h"
#include "app/ui/card_metrics_page.h"
#include "app/ui/card_properties_page.h"

#include <QAction>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>

#include <utility>

namespace ui {

PersonCardWidget::PersonCardWidget(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("personCard"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* toolbar = new QToolBar(this);
    toolbar->setObjectName(QStringLiteral("cardToolbar"));
    toolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    save_ = toolbar->addAction(QStringLiteral("Сохранить изменения"));
    save_->setObjectName(QStringLiteral("saveCard"));
    save_->setToolTip(QStringLiteral("Сохранить изменения параметров персоны в БД"));
    save_->setData(static_cast<int>(browser::kCmdSaveCard));
    connect(save_, &QAction::triggered, this, [this] {
        if (onSave) onSave();
    });
    layout->addWidget(toolbar);

    pages_ = new QTabWidget(this);
    pages_->setObjectName(QStringLiteral("cardPages"));
    metrics_ = new CardMetricsPage(editor_, pages_);
    metrics_->setObjectName(QStringLiteral("metricsPage"));
    properties_ = new CardPropertiesPage(editor_, pages_);
    properties_->setObjectName(QStringLiteral("propertiesPage"));
    samples_ = new QWidget(pages_);
    samples_->setObjectName(QStringLiteral("samplesPage"));
    sampleSlot_ = new QVBoxLayout(samples_);
    pages_->addTab(metrics_, QStringLiteral("Метрики"));
    pages_->addTab(properties_, QStringLiteral("Дополнительно"));
    pages_->addTab(samples_, QStringLiteral("Образцы"));
    layout->addWidget(pages_, 1);

    metrics_->onEdited = [this] { ShowDirty(); };
    metrics_->onTestSpeech = [this] {
        if (onTestSpeech) onTestSpeech(editor_.Text(browser::CardField::Speech));
    };
    properties_->onEdited = [this] { ShowDirty(); };

    ShowEditor();
}

void PersonCardWidget::SetPhotoPad(QWidget* pad) { metrics_->SetPhotoPad(pad); }

void PersonCardWidget::SetSamplePad(QWidget* pad) {
    pad->setParent(samples_);
    sampleSlot_->addWidget(pad);
}

void PersonCardWidget::SetSpeechVoiceCount(int voices) {
    editor_.SetSpeechVoiceCount(voices);
    metrics_->Refresh();
}

void PersonCardWidget::ShowPerson(database::PersonCard card) {
    editor_.Show(std::move(card));
    ShowEditor();
}

void PersonCardWidget::ClearPerson() {
    editor_.Clear();
    ShowEditor();
}

void PersonCardWidget::ShowPage(Page page) { pages_->setCurrentIndex(static_cast<int>(page)); }

database::DbOpResult PersonCardWidget::Save(database::DbSession& session) {
    const database::DbOpResult result = editor_.Save(session);
    // Saved values lose their markers; after a give-up what was saved before loses them too.
    metrics_->Refresh();
    properties_->Refresh();
    ShowDirty();
    return result;
}

browser::LeaveOutcome PersonCardWidget::ConfirmLeave(database::DbSession& session) {
    const browser::LeaveOutcome outcome = editor_.ConfirmLeave(session);
    ShowEditor();
    return outcome;
}

void PersonCardWidget::SetSpeech(const QString& text) { metrics_->SetSpeech(text); }

void PersonCardWidget::ShowEditor() {
    metrics_->Fill();
    properties_->Fill();
    pages_->setEnabled(editor_.HasPerson());
    ShowDirty();
}

void PersonCardWidget::ShowDirty() { save_->setEnabled(editor_.IsDirty()); }

}  // namespace ui
