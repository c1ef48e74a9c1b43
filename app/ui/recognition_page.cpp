#include "app/ui/recognition_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>

namespace ui {

namespace {

QSlider* PercentSlider(QWidget* parent, const QString& name, int minimum, int maximum, int value) {
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setObjectName(name);
    slider->setRange(minimum, maximum);
    slider->setValue(value);
    slider->setTickPosition(QSlider::TicksBelow);
    return slider;
}

QLineEdit* TwoDigitField(QWidget* parent, const QString& name, int value) {
    auto* edit = new QLineEdit(QString::number(value), parent);
    edit->setObjectName(name);
    edit->setMaxLength(RecognitionPageRules::kNumberDigits);
    edit->setValidator(new QIntValidator(0, 99, edit));
    return edit;
}

}  // namespace

RecognitionPage::RecognitionPage(settings::SettingsState& copy, QWidget* parent) : QWidget(parent), rules_(copy) {
    setObjectName(QStringLiteral("RecognitionPage"));
    setWindowTitle(QStringLiteral("Распознавание"));
    const settings::RecognitionSettings& shown = copy.recognition;
    auto* grid = new QGridLayout(this);
    int row = 0;

    auto* maxSubject = TwoDigitField(this, QStringLiteral("MaxSubject"), int(shown.MaxSubject));
    connect(maxSubject, &QLineEdit::textEdited, this, [this, maxSubject](const QString& text) {
        const NumberEntry entry = rules_.SetMaxSubject(text);
        if (entry.shown) maxSubject->setText(*entry.shown);
    });
    grid->addWidget(new QLabel(QStringLiteral("Максимальное число обнаруживаемых в кадре людей:"), this), row, 0);
    grid->addWidget(maxSubject, row++, 1);

    likely_ = PercentSlider(this, QStringLiteral("LikelyDistance"), RecognitionPageRules::kSliderMin,
                            RecognitionPageRules::kSliderMax, rules_.LikelyPosition());
    likelyLabel_ = new QLabel(this);
    grid->addWidget(new QLabel(QStringLiteral("Предварительное распознавание (%):"), this), row, 0);
    grid->addWidget(likelyLabel_, row++, 1);
    grid->addWidget(likely_, row++, 0, 1, 2);
    assurance_ = PercentSlider(this, QStringLiteral("AssuranceDistance"), RecognitionPageRules::kSliderMin,
                               RecognitionPageRules::kSliderMax, rules_.AssurancePosition());
    assuranceLabel_ = new QLabel(this);
    grid->addWidget(new QLabel(QStringLiteral("Уверенное распознавание (%):"), this), row, 0);
    grid->addWidget(assuranceLabel_, row++, 1);
    grid->addWidget(assurance_, row++, 0, 1, 2);
    connect(likely_, &QSlider::valueChanged, this, [this](int position) {
        rules_.SetLikelyPosition(position);
        ShowSliders();
    });
    connect(assurance_, &QSlider::valueChanged, this, [this](int position) {
        rules_.SetAssurancePosition(position);
        ShowSliders();
    });

    auto* repeat = PercentSlider(this, QStringLiteral("RepeatForRecognition"), RecognitionPageRules::kRepeatMin,
                                 RecognitionPageRules::kRepeatMax, rules_.Repeat());
    auto* repeatLabel = new QLabel(QString::number(rules_.Repeat()), this);
    connect(repeat, &QSlider::valueChanged, this, [this, repeatLabel](int value) {
        rules_.SetRepeat(value);
        repeatLabel->setText(QString::number(rules_.Repeat()));
    });
    grid->addWidget(
        new QLabel(QStringLiteral("Фиксировать событие распознавания при числе уверенных распознаваний:"), this), row,
        0);
    grid->addWidget(repeatLabel, row++, 1);
    grid->addWidget(repeat, row++, 0, 1, 2);

    auto* shortInvisibility = new QCheckBox(QStringLiteral("Допускать короткую потерю области лица"), this);
    shortInvisibility->setObjectName(QStringLiteral("ShortInvisibility"));
    shortInvisibility->setChecked(shown.ShortInvisibility != 0);
    connect(shortInvisibility, &QCheckBox::toggled, this, [this](bool on) { rules_.SetShortInvisibility(on); });
    grid->addWidget(shortInvisibility, row++, 0, 1, 2);

    auto* remember = TwoDigitField(this, QStringLiteral("RememberRecognized"), rules_.RememberNumber());
    auto* unit = new QComboBox(this);
    unit->setObjectName(QStringLiteral("RememberRecognizedUnit"));
    unit->addItems({QStringLiteral("Минут"), QStringLiteral("Часов")});
    unit->setCurrentIndex(rules_.RememberUnit() == TimeUnit::Hours ? 1 : 0);
    connect(remember, &QLineEdit::textEdited, this, [this, remember](const QString& text) {
        const NumberEntry entry = rules_.SetRememberNumber(text);
        if (entry.shown) remember->setText(*entry.shown);
    });
    connect(unit, &QComboBox::currentIndexChanged, this,
            [this](int index) { rules_.SetRememberUnit(index == 1 ? TimeUnit::Hours : TimeUnit::Minutes); });
    auto* rememberRow = new QHBoxLayout;
    rememberRow->addWidget(remember);
    rememberRow->addWidget(unit);
    grid->addWidget(new QLabel(QStringLiteral("Помнить о распознанной персоне:"), this), row, 0);
    grid->addLayout(rememberRow, row++, 1);
    grid->setRowStretch(row, 1);
    ShowSliders();
}

void RecognitionPage::ShowSliders() {
    // The coupled slider moves without reporting back: the rules already hold its position.
    const QSignalBlocker likelyBlock(likely_);
    const QSignalBlocker assuranceBlock(assurance_);
    likely_->setValue(rules_.LikelyPosition());
    assurance_->setValue(rules_.AssurancePosition());
    likelyLabel_->setText(QString::number(rules_.LikelyPosition()));
    assuranceLabel_->setText(QString::number(rules_.AssurancePosition()));
}

}  // namespace ui
