#include "app/ui/split_pane.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

namespace ui {

SplitPane::SplitPane(Qt::Orientation orientation, double proportion, std::function<void(double)> save, QWidget* parent)
    : QWidget(parent), orientation_(orientation), drag_(proportion), save_(std::move(save)) {
    // Only the band shows the pane itself, so the pane's cursor is the band's.
    setCursor(orientation == Qt::Horizontal ? Qt::SizeHorCursor : Qt::SizeVerCursor);
    QObject::connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state != Qt::ApplicationActive) EndDrag();
    });
}

void SplitPane::SetPanels(QWidget* first, QWidget* second) {
    first_ = first;
    second_ = second;
    for (QWidget* panel : {first, second}) {
        panel->setParent(this);
        panel->setCursor(Qt::ArrowCursor);
        panel->show();
    }
    LayOut();
}

void SplitPane::LayOut() {
    if (first_ == nullptr || second_ == nullptr) return;
    const SplitLayout split = SplitAt(Extent(), drag_.Proportion());
    if (orientation_ == Qt::Horizontal) {
        first_->setGeometry(0, 0, split.firstLength, height());
        second_->setGeometry(split.secondStart, 0, std::max(0, width() - split.secondStart), height());
    } else {
        first_->setGeometry(0, 0, width(), split.firstLength);
        second_->setGeometry(0, split.secondStart, width(), std::max(0, height() - split.secondStart));
    }
    update();
}

void SplitPane::resizeEvent(QResizeEvent*) { LayOut(); }

void SplitPane::paintEvent(QPaintEvent*) {
    const SplitLayout split = SplitAt(Extent(), drag_.Proportion());
    QPainter p(this);
    const QRect band = orientation_ == Qt::Horizontal ? QRect(split.bandStart, 0, kSplitterBand, height())
                                                      : QRect(0, split.bandStart, width(), kSplitterBand);
    // An etched edge: a dark and a light line along the band.
    const QPalette& pal = palette();
    p.fillRect(band, pal.color(QPalette::Button));
    p.setPen(pal.color(QPalette::Dark));
    if (orientation_ == Qt::Horizontal) {
        p.drawLine(band.center().x(), band.top(), band.center().x(), band.bottom());
        p.setPen(pal.color(QPalette::Light));
        p.drawLine(band.center().x() + 1, band.top(), band.center().x() + 1, band.bottom());
    } else {
        p.drawLine(band.left(), band.center().y(), band.right(), band.center().y());
        p.setPen(pal.color(QPalette::Light));
        p.drawLine(band.left(), band.center().y() + 1, band.right(), band.center().y() + 1);
    }
}

void SplitPane::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    const SplitLayout split = SplitAt(Extent(), drag_.Proportion());
    const int at = Along(e->position().toPoint());
    if (at < split.bandStart || at >= split.bandStart + kSplitterBand) return;
    drag_.Press(at, split.bandStart);
    grabMouse();
}

void SplitPane::mouseMoveEvent(QMouseEvent* e) {
    if (drag_.Move(Along(e->position().toPoint()), Extent())) LayOut();
}

void SplitPane::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) EndDrag();
}

void SplitPane::EndDrag() {
    if (!drag_.Dragging()) return;
    releaseMouse();
    if (drag_.Finish() && save_) save_(drag_.Proportion());
}

}  // namespace ui
