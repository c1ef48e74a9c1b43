#include "app/ui/card_marker_icon.h"

#include <QPainter>
#include <QPixmap>

namespace ui {

QIcon CardMarkerIcon() {
    static const QIcon icon = [] {
        QPixmap pixmap(kCardMarkerSize, kCardMarkerSize);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        // A pencil tip: the field was edited.
        p.setPen(QPen(QColor(150, 80, 0), 1));
        p.setBrush(QColor(240, 150, 30));
        const QPointF body[] = {{3, 10}, {10, 3}, {13, 6}, {6, 13}};
        p.drawPolygon(body, 4);
        p.setBrush(QColor(60, 40, 20));
        const QPointF tip[] = {{3, 10}, {6, 13}, {2, 14}};
        p.drawPolygon(tip, 3);
        return QIcon(pixmap);
    }();
    return icon;
}

}  // namespace ui
