#include "app/ui/event_panel.h"

#include "app/ui/icons.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace ui {

using shell::JournalTab;

QString JournalTabCaption(JournalTab tab) {
    switch (tab) {
    case JournalTab::Camera:
        return QStringLiteral("Камера");
    case JournalTab::Database:
        return QStringLiteral("База данных");
    case JournalTab::Recognition:
        return QStringLiteral("Распознавание");
    case JournalTab::Actions:
        return QStringLiteral("Действия");
    case JournalTab::Notifications:
        break;
    }
    return QStringLiteral("Нотификации");
}

QString JournalPadClassName(JournalTab tab) {
    static const char* const roles[] = {"CAMERA", "DB", "RECOGNITION", "ACTION", "NOTIFICATION"};
    return QStringLiteral("Vektra:OSTROVID_V2:%1:EVENT:PAD").arg(QLatin1String(roles[int(tab)]));
}

std::vector<JournalColumn> JournalColumns(JournalTab tab) {
    switch (tab) {
    case JournalTab::Camera:
        return {{u"Время", 90}, {u"Событие", 170}, {u"Описание", 220}};
    case JournalTab::Database:
    case JournalTab::Recognition:
        return {{u"Время", 90}, {u"Событие", 200}, {u"Описание", 220}};
    case JournalTab::Actions:
        return {{u"Время", 90}, {u"Событие", 140}, {u"Действие", 150}, {u"№", 45}, {u"Описание", 220}};
    case JournalTab::Notifications:
        break;
    }
    return {{u"Время", 90}, {u"Источник", 130}, {u"Описание", 260}};
}

namespace {

// Tab icons of the camera, recognition, actions and notifications tabs; the database tab's
// follows its state.
constexpr int kTabIcons[shell::kJournalTabCount] = {4, 0, 5, 6, 7};

}  // namespace

JournalPad::JournalPad(JournalTab tab, EventPanel& panel, QWidget* parent) : QWidget(parent), tab_(tab), panel_(panel) {
    setObjectName(JournalPadClassName(tab));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);

    auto* bar = new QHBoxLayout;
    clear_ = new QToolButton(this);
    clear_->setObjectName(QStringLiteral("40011"));
    clear_->setText(QStringLiteral("Очистить"));
    clear_->setToolTip(QStringLiteral("Очистить список сообщений"));
    clear_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    clear_->setFixedWidth(90);
    clear_->setEnabled(false);
    bar->addWidget(clear_);
    bar->addStretch();
    layout->addLayout(bar);

    const std::vector<JournalColumn> columns = JournalColumns(tab);
    list_ = new QTableWidget(0, int(columns.size()), this);
    for (size_t i = 0; i < columns.size(); ++i) {
        list_->setHorizontalHeaderItem(int(i), new QTableWidgetItem(QString::fromUtf16(columns[i].caption)));
        list_->setColumnWidth(int(i), columns[i].width);
    }
    list_->verticalHeader()->hide();
    list_->verticalHeader()->setDefaultSectionSize(18);
    list_->horizontalHeader()->setSectionsClickable(false);
    list_->horizontalHeader()->setHighlightSections(false);
    list_->setSortingEnabled(false);
    list_->setShowGrid(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setWordWrap(false);
    layout->addWidget(list_);

    QObject::connect(clear_, &QToolButton::clicked, this, [this] { ClearRows(); });
}

bool JournalPad::event(QEvent* e) {
    if (e->type() == static_cast<QEvent::Type>(QEvent::User + shell::JournalEntryMessage(tab_))) {
        if (auto entry = static_cast<JournalEntryEvent*>(e)->TakeEntry()) {
            panel_.Model().Receive(tab_, std::move(entry));
            ShowNewestRow();
            panel_.EntryReceived(tab_);
        }
        return true;
    }
    return QWidget::event(e);
}

void JournalPad::ShowNewestRow() {
    const shell::JournalTabModel& model = panel_.Model().Tab(tab_);
    if (model.Rows().empty()) return;
    const shell::JournalRow& row = model.Rows().front();
    list_->insertRow(0);
    auto* time = new QTableWidgetItem(JournalIcon(row.icon), row.time);
    list_->setItem(0, 0, time);
    int column = 1;
    list_->setItem(0, column++, new QTableWidgetItem(row.eventText));
    if (tab_ == JournalTab::Actions) {
        list_->setItem(0, column++, new QTableWidgetItem(row.actionText));
        list_->setItem(0, column++, new QTableWidgetItem(row.actionNumber));
    }
    list_->setItem(0, column, new QTableWidgetItem(row.description));
    while (list_->rowCount() > int(model.Rows().size())) list_->removeRow(list_->rowCount() - 1);
    clear_->setEnabled(model.ClearEnabled());
}

void JournalPad::ClearRows() {
    panel_.Model().Tab(tab_).Clear();
    list_->setRowCount(0);
    clear_->setEnabled(false);
}

EventPanel::EventPanel(shell::CameraStatusBar* statusBar, QWidget* parent) : QWidget(parent), model_(statusBar) {
    setObjectName(QStringLiteral("Vektra:OSTROVID_V2:EVENTPANEL"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("1023"));
    layout->addWidget(tabs_);
    for (int i = 0; i < shell::kJournalTabCount; ++i) {
        const auto tab = JournalTab(i);
        pads_[size_t(i)] = new JournalPad(tab, *this, tabs_);
        tabs_->addTab(pads_[size_t(i)], TabIcon(kTabIcons[i]), JournalTabCaption(tab));
    }
    tabs_->setCurrentIndex(int(JournalTab::Camera));
    blinkTimer_.setInterval(500);
    QObject::connect(&blinkTimer_, &QTimer::timeout, this, [this] {
        model_.TimerTick();
        ShowDatabaseTabIcon();
    });
    blinkTimer_.start();
}

bool EventPanel::Deliver(JournalTab tab, std::unique_ptr<shell::JournalEntry> entry) {
    if (QCoreApplication::instance() == nullptr || int(tab) < 0 || int(tab) >= shell::kJournalTabCount) return false;
    QCoreApplication::postEvent(pads_[size_t(tab)], new JournalEntryEvent(tab, std::move(entry)));
    return true;
}

void EventPanel::EntryReceived(JournalTab tab) {
    if (tab != JournalTab::Database) return;
    databaseState_.store(model_.DatabaseState(), std::memory_order_release);
    ShowDatabaseTabIcon();
}

void EventPanel::ShowDatabaseTabIcon() {
    tabs_->setTabIcon(int(JournalTab::Database), TabIcon(model_.DatabaseTabIcon()));
}

}  // namespace ui
