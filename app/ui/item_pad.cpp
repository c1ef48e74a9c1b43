#include "app/ui/item_pad.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>

namespace ui {

void ItemPad::RebuildItems(size_t count, const QString& name) {
    qDeleteAll(items_);
    items_.clear();
    for (size_t i = 0; i < count; ++i) {
        auto* item = new QWidget(viewport_);
        item->setObjectName(name);
        item->installEventFilter(this);
        item->show();
        items_.push_back(item);
    }
    Place();
}

bool ItemPad::eventFilter(QObject* watched, QEvent* event) {
    if (watched == viewport_) {
        switch (event->type()) {
        case QEvent::Resize:
            Place();
            break;
        case QEvent::Wheel:
            QApplication::sendEvent(scrollBar_, event);
            return true;
        case QEvent::KeyPress:
            if (ViewportKey(*static_cast<QKeyEvent*>(event))) return true;
            break;
        case QEvent::ContextMenu:
            RefreshCommands();
            itemMenu_->popup(static_cast<QContextMenuEvent*>(event)->globalPos());
            return true;
        default:
            break;
        }
        return QWidget::eventFilter(watched, event);
    }
    const auto it = std::find(items_.begin(), items_.end(), watched);
    if (it == items_.end()) return QWidget::eventFilter(watched, event);
    QWidget* item = *it;
    if (event->type() == QEvent::Paint) {
        PaintItem(item, static_cast<int>(it - items_.begin()));
        return true;
    }
    if (event->type() == QEvent::MouseButtonPress) {
        const auto* press = static_cast<QMouseEvent*>(event);
        if (press->button() == Qt::LeftButton || press->button() == Qt::RightButton) {
            viewport_->setFocus(Qt::MouseFocusReason);
            ClickAt(item->mapTo(viewport_, press->position().toPoint()), press->button());
            Place();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace ui
