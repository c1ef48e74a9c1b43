#include "app/ui/person_search_window.h"

#include "app/ui/person_list_panel.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <vector>

namespace ui {

using browser::SearchDirection;
using browser::SearchField;
using browser::SearchStatus;

namespace {

constexpr std::array<const char*, browser::kSearchFieldCount> kFieldNames{
    "searchSurname",     "searchForename", "searchSecondName", "searchAlias",
    "searchExternalKey", "searchAddress",  "searchContacts",   "searchDescription"};

}  // namespace

PersonSearchWindow::PersonSearchWindow(PersonListPanel& list, QWidget* parent) : QFrame(parent), list_(list) {
    setObjectName(QStringLiteral("personSearch"));
    setWindowTitle(QStringLiteral("Поиск персоны"));
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Raised);
    setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);

    auto* title = new QHBoxLayout;
    auto* caption = new QLabel(QStringLiteral("<b>Поиск персоны</b>"), this);
    title->addWidget(caption);
    title->addStretch();
    auto* close = new QToolButton(this);
    close->setObjectName(QStringLiteral("searchClose"));
    close->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    close->setAutoRaise(true);
    connect(close, &QToolButton::clicked, this, [this] { SlideOut(); });
    title->addWidget(close);
    layout->addLayout(title);
    layout->addWidget(new QLabel(QStringLiteral("Заполните поля, по которым будет выполняться поиск."), this));
    layout->addWidget(new QLabel(
        QStringLiteral("Символы * (звездочка) и ? (знак вопроса) означают, соответственно, любой текст и любой "
                       "символ в данной позиции."),
        this));

    // The names in the left column, the rest in the right one.
    auto* grid = new QGridLayout;
    for (size_t i = 0; i < browser::kSearchFieldCount; ++i) {
        const auto field = static_cast<SearchField>(i);
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(kFieldNames[i]));
        edit->setMaxLength(browser::SearchFieldLimit(field));
        connect(edit, &QLineEdit::textChanged, this, [this, field](const QString& text) {
            search_.SetField(field, text);
            Refresh();
        });
        connect(edit, &QLineEdit::returnPressed, this, [this] {
            if (fromTop_->isEnabled()) Run(SearchDirection::FromTop);
        });
        const int row = static_cast<int>(i < 4 ? i : i - 4);
        const int column = i < 4 ? 0 : 2;
        grid->addWidget(new QLabel(browser::SearchFieldLabel(field), this), row, column);
        grid->addWidget(edit, row, column + 1);
        if (firstField_ == nullptr) firstField_ = edit;
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 2);
    layout->addLayout(grid);

    auto* genderRow = new QHBoxLayout;
    auto* gender = new QCheckBox(QStringLiteral("Пол"), this);
    gender->setObjectName(QStringLiteral("searchGender"));
    genderRow->addWidget(gender);
    auto* group = new QButtonGroup(this);
    std::vector<QRadioButton*> radios;
    for (const database::Gender value : {database::Gender::Male, database::Gender::Female}) {
        auto* radio = new QRadioButton(database::GenderName(value), this);
        radio->setChecked(value == search_.Gender());
        radio->setVisible(false);
        group->addButton(radio);
        genderRow->addWidget(radio);
        radios.push_back(radio);
        connect(radio, &QRadioButton::toggled, this, [this, value](bool on) {
            if (!on) return;
            search_.SetGender(value);
            Refresh();
        });
    }
    connect(gender, &QCheckBox::toggled, this, [this, radios](bool ticked) {
        for (QRadioButton* radio : radios) radio->setVisible(ticked);
        search_.SetGenderChecked(ticked);
        Refresh();
    });
    genderRow->addStretch();
    layout->addLayout(genderRow);

    auto* buttons = new QHBoxLayout;
    const auto button = [this, buttons](const QString& text, const char* name, SearchDirection direction) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);  // Enter in a dialog below must not run a search
        connect(b, &QPushButton::clicked, this, [this, direction] { Run(direction); });
        buttons->addWidget(b);
        return b;
    };
    fromTop_ = button(QStringLiteral("Искать от начала"), "searchFromTop", SearchDirection::FromTop);
    next_ = button(QStringLiteral("Найти следующего"), "searchNext", SearchDirection::Next);
    previous_ = button(QStringLiteral("Найти предыдущего"), "searchPrevious", SearchDirection::Previous);
    buttons->addStretch();
    layout->addLayout(buttons);

    auto* status = new QStatusBar(this);
    status->setSizeGripEnabled(false);
    statusIcon_ = new QLabel(status);
    statusText_ = new QLabel(status);
    statusText_->setObjectName(QStringLiteral("searchStatus"));
    status->addWidget(statusIcon_);
    status->addWidget(statusText_, 1);
    layout->addWidget(status);

    animation_ = new QPropertyAnimation(this, "pos", this);
    connect(animation_, &QPropertyAnimation::finished, this, [this] {
        if (leaving_) hide();
    });
    const QPointer<PersonSearchWindow> self(this);
    list_.AddListWatcher([self] {
        if (self) self->Refresh();
    });
    parent->installEventFilter(this);
    hide();
    Refresh();
}

void PersonSearchWindow::SlideIn() {
    leaving_ = false;
    resize(qMin(parentWidget()->width(), qMax(sizeHint().width(), 640)), sizeHint().height());
    if (!isVisible()) {
        move(CentredX(), -height());
        show();
    }
    raise();
    Slide(0, kSlideIn);
    firstField_->setFocus(Qt::OtherFocusReason);
    Refresh();
}

void PersonSearchWindow::SlideOut() {
    if (!isVisible()) return;
    leaving_ = true;
    Slide(-height(), kSlideOut);
}

void PersonSearchWindow::Slide(int toY, std::chrono::milliseconds duration) {
    animation_->stop();
    animation_->setDuration(static_cast<int>(duration.count()));
    animation_->setStartValue(pos());
    animation_->setEndValue(QPoint(CentredX(), toY));
    animation_->start();
}

int PersonSearchWindow::CentredX() const { return qMax(0, (parentWidget()->width() - width()) / 2); }

void PersonSearchWindow::Run(SearchDirection direction) {
    const std::optional<size_t> row = search_.Find(list_.Model(), direction);
    if (row) {
        list_.SelectPerson(list_.Model().Row(*row).personId, ListFocus::Keep);
        if (found) found();
    }
    Refresh();
}

void PersonSearchWindow::Refresh() {
    const browser::SearchButtons enabled = search_.Buttons(list_.Model());
    fromTop_->setEnabled(enabled.fromTop);
    next_->setEnabled(enabled.next);
    previous_->setEnabled(enabled.previous);
    const SearchStatus status = search_.Status();
    statusText_->setText(browser::SearchStatusText(status));
    QIcon icon;
    if (status == SearchStatus::Found) icon = style()->standardIcon(QStyle::SP_DialogApplyButton);
    if (status == SearchStatus::NotFound) icon = style()->standardIcon(QStyle::SP_MessageBoxWarning);
    statusIcon_->setPixmap(icon.isNull() ? QPixmap() : icon.pixmap(16, 16));
}

void PersonSearchWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        SlideOut();
        return;
    }
    QFrame::keyPressEvent(event);
}

bool PersonSearchWindow::eventFilter(QObject* watched, QEvent* event) {
    // Stays centred when the window it covers is resized.
    if (watched == parentWidget() && event->type() == QEvent::Resize && isVisible() &&
        animation_->state() != QAbstractAnimation::Running) {
        move(CentredX(), y());
    }
    return QFrame::eventFilter(watched, event);
}

}  // namespace ui
