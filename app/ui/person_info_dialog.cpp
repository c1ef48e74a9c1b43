#include "app/ui/person_info_dialog.h"

#include "app/ui/icons.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace ui {

namespace {

const QSize kPhotoAreaSize(240, 300);
constexpr int kNarrowFieldWidth = 160;
// The wide fields end this far from the page's right edge.
constexpr int kFieldRightGap = 6;

}  // namespace

PersonPhotoArea::PersonPhotoArea(const std::vector<QImage>& photos, QWidget* parent)
    : QWidget(parent),
      photos_(photos),
      browsing_(photos.size()),
      aspect_(double(kPhotoAreaSize.width()) / kPhotoAreaSize.height()) {
    setObjectName(QStringLiteral("1112"));
    setFixedSize(kPhotoAreaSize);
}

QRect PersonPhotoArea::PhotoRect() const {
    const int current = browsing_.Current();
    if (current < 0) return {};
    return PlacePhoto(photos_[size_t(current)].size(), size(), aspect_);
}

void PersonPhotoArea::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    const int current = browsing_.Current();
    if (current < 0) return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(PhotoRect(), photos_[size_t(current)]);
}

PersonInfoDialog::PersonInfoDialog(const PersonInfoRecord& record, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Информация о персоне..."));
    auto* layout = new QVBoxLayout(this);
    auto* body = new QHBoxLayout;
    layout->addLayout(body, 1);

    auto arrow = [this](const QString& name, QStyle::StandardPixmap icon) {
        auto* button = new QToolButton(this);
        button->setObjectName(name);
        button->setIcon(style()->standardIcon(icon));
        button->setIconSize(QSize(32, 32));
        button->setAutoRaise(true);
        // A hidden arrow keeps its place so the photo area does not move.
        QSizePolicy policy = button->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        button->setSizePolicy(policy);
        return button;
    };
    previous_ = arrow(QStringLiteral("1129"), QStyle::SP_ArrowLeft);
    next_ = arrow(QStringLiteral("1130"), QStyle::SP_ArrowRight);
    photo_ = new PersonPhotoArea(record.photos, this);
    auto* photoRow = new QHBoxLayout;
    photoRow->addWidget(previous_, 0, Qt::AlignVCenter);
    photoRow->addWidget(photo_);
    photoRow->addWidget(next_, 0, Qt::AlignVCenter);
    body->addLayout(photoRow);
    body->setAlignment(photoRow, Qt::AlignTop);
    QObject::connect(previous_, &QToolButton::clicked, this, [this] { Move(&PhotoBrowsing::Previous); });
    QObject::connect(next_, &QToolButton::clicked, this, [this] { Move(&PhotoBrowsing::Next); });

    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("1060"));
    tabs_->addTab(MakeMetricsPage(record), TabIcon(0), QStringLiteral("Метрики"));
    tabs_->addTab(MakePropertiesPage(record), TabIcon(1), QStringLiteral("Дополнительно"));
    body->addWidget(tabs_, 1);

    auto* close = new QPushButton(QStringLiteral("Закрыть"), this);
    close->setObjectName(QStringLiteral("close"));
    close->setDefault(true);
    QObject::connect(close, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(close, 0, Qt::AlignRight);

    ShowArrows();
    resize(900, 420);
}

QWidget* PersonInfoDialog::MakeMetricsPage(const PersonInfoRecord& record) {
    const PersonMetricTexts texts = MetricTexts(record);
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("264"));
    page->setAutoFillBackground(true);
    QPalette white = page->palette();
    white.setColor(QPalette::Window, Qt::white);
    page->setPalette(white);
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(6, 6, kFieldRightGap, 6);
    grid->setColumnStretch(1, 1);

    struct Field {
        int id;
        const char16_t* label;
        const QString& text;
        bool wide;
    };
    const Field fields[] = {
        {1116, u"ID:", texts.id, false},
        {1117, u"Список:", texts.list, false},
        {1061, u"Фамилия:", texts.surname, true},
        {1062, u"Имя:", texts.forename, true},
        {1063, u"Отчество:", texts.secondName, true},
        {1064, u"Псевдоним:", texts.alias, false},
        {1065, u"Внешний ключ:", texts.externalKey, false},
        {1104, u"Пол:", texts.gender, false},
        {1105, u"Дата рождения:", texts.dateOfBirth, false},
        {1069, u"Адрес:", texts.address, true},
        {1070, u"Контакты:", texts.contacts, true},
        {1071, u"Описание:", texts.description, true},
        {1089, u"Спич:", texts.speech, true},
    };
    int row = 0;
    for (const Field& field : fields) {
        auto* label = new QLabel(QString::fromUtf16(field.label), page);
        QWidget* edit = nullptr;
        if (field.id == 1071) {
            auto* text = new QPlainTextEdit(field.text, page);
            text->setReadOnly(true);
            text->setMaximumHeight(text->fontMetrics().lineSpacing() * 4 + 8);
            edit = text;
        } else {
            auto* line = new QLineEdit(field.text, page);
            line->setReadOnly(true);
            line->setCursorPosition(0);
            edit = line;
        }
        edit->setObjectName(QString::number(field.id));
        if (!field.wide) edit->setFixedWidth(kNarrowFieldWidth);
        grid->addWidget(label, row, 0, Qt::AlignLeft | Qt::AlignTop);
        grid->addWidget(edit, row, 1, field.wide ? Qt::Alignment() : Qt::AlignLeft);
        ++row;
    }
    grid->setRowStretch(row, 1);
    return page;
}

QWidget* PersonInfoDialog::MakePropertiesPage(const PersonInfoRecord& record) {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(1, 3, 2, 1);
    auto* list = new QTableWidget(int(record.properties.size()), 2, page);
    list->setObjectName(QStringLiteral("1053"));
    list->setHorizontalHeaderLabels({QStringLiteral("Название"), QStringLiteral("Значение")});
    list->setColumnWidth(0, 240);
    list->setColumnWidth(1, 350);
    list->verticalHeader()->hide();
    list->setShowGrid(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setFrameShape(QFrame::StyledPanel);
    for (size_t i = 0; i < record.properties.size(); ++i) {
        list->setItem(int(i), 0, new QTableWidgetItem(record.properties[i].first));
        list->setItem(int(i), 1, new QTableWidgetItem(record.properties[i].second));
    }
    layout->addWidget(list);
    return page;
}

void PersonInfoDialog::Move(bool (PhotoBrowsing::*step)()) {
    if (!(photo_->Browsing().*step)()) return;
    ShowArrows();
    photo_->update();
}

void PersonInfoDialog::ShowArrows() {
    previous_->setVisible(photo_->Browsing().PreviousVisible());
    next_->setVisible(photo_->Browsing().NextVisible());
}

}  // namespace ui
