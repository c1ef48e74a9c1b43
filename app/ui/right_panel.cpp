#include "app/ui/right_panel.h"

#include "app/ui/icons.h"
#include "app/ui/recognized_page.h"
#include "platform/contract.h"

#include <QApplication>
#include <QChildEvent>
#include <QPixmap>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace ui {

namespace {

constexpr int kRecognizedImage = 1;
constexpr int kSnapshotsImage = 2;

int TabIndex(RightTab tab) { return static_cast<int>(tab); }

bool IsInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::FocusIn:
        return true;
    default:
        return false;
    }
}

}  // namespace

RightPanel::RightPanel(recognition::RecognizedPersonsList& list, recognition::RememberedPersons& remembered,
                       const settings::SettingsHub& hub, QWidget* snapshotPage, QWidget* parent)
    : QWidget(parent), snapshots_(snapshotPage) {
    OSTROVID_ASSERT(snapshotPage != nullptr, "the right panel needs its snapshot page");
    setObjectName(QStringLiteral("Vektra:OSTROVID_V2:RIGHT:PANEL"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("209"));
    tabs_->tabBar()->setFont(QApplication::font("QStatusBar"));
    layout->addWidget(tabs_);

    // A blank image of the same size keeps the tab's width while its image is off.
    QPixmap blank(tabs_->iconSize());
    blank.fill(Qt::transparent);
    noImage_ = QIcon(blank);

    recognized_ = new RecognizedPage(list, remembered, hub);
    tabs_->addTab(recognized_, TabIcon(kRecognizedImage), QStringLiteral("Распознаны"));
    tabs_->addTab(snapshots_, TabIcon(kSnapshotsImage), QStringLiteral("Снимки"));
    WatchInput(recognized_);
    WatchInput(snapshots_);
    QObject::connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
        blink_.Show(index == TabIndex(RightTab::Snapshots) ? RightTab::Snapshots : RightTab::Recognized);
        ShowBlink();
    });

    blinkTimer_.setInterval(TabBlink::kPhase);
    QObject::connect(&blinkTimer_, &QTimer::timeout, this, [this] {
        blink_.Tick();
        ShowBlink();
    });
}

void RightPanel::RecognizedArrived(bool arrived) { Arrived(RightTab::Recognized, arrived); }

void RightPanel::SnapshotsArrived(bool arrived) { Arrived(RightTab::Snapshots, arrived); }

void RightPanel::ShowPage(RightTab tab) { tabs_->setCurrentIndex(TabIndex(tab)); }

void RightPanel::Arrived(RightTab tab, bool arrived) {
    blink_.Arrived(tab, arrived);
    ShowBlink();
}

void RightPanel::ShowBlink() {
    tabs_->setTabIcon(TabIndex(RightTab::Recognized),
                      blink_.ImageShown(RightTab::Recognized) ? TabIcon(kRecognizedImage) : noImage_);
    tabs_->setTabIcon(TabIndex(RightTab::Snapshots),
                      blink_.ImageShown(RightTab::Snapshots) ? TabIcon(kSnapshotsImage) : noImage_);
    if (blink_.AnyBlinking() && !blinkTimer_.isActive()) blinkTimer_.start();
    if (!blink_.AnyBlinking()) blinkTimer_.stop();
}

void RightPanel::WatchInput(QWidget* widget) {
    widget->installEventFilter(this);
    for (QWidget* child : widget->findChildren<QWidget*>()) child->installEventFilter(this);
}

bool RightPanel::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::ChildAdded) {
        // Widgets a page makes later are watched too.
        QObject* child = static_cast<QChildEvent*>(e)->child();
        if (child->isWidgetType()) WatchInput(static_cast<QWidget*>(child));
    } else if (IsInput(e->type()) && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        for (RightTab tab : {RightTab::Recognized, RightTab::Snapshots}) {
            QWidget* page = tab == RightTab::Recognized ? recognized_ : snapshots_;
            if (page == widget || page->isAncestorOf(widget)) {
                if (blink_.Blinking(tab)) {
                    blink_.Looked(tab);
                    ShowBlink();
                }
                break;
            }
        }
    }
    return QWidget::eventFilter(watched, e);
}

}  // namespace ui
