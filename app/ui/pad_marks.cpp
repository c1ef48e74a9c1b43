#include "app/ui/pad_marks.h"

#include <QPainter>
#include <QPainterPath>

namespace ui {

void DrawSelectionMark(QPainter& painter, const QRect& cell, int markSize, bool checked) {
    const QRectF box = QRectF(cell.topLeft(), QSizeF(markSize, markSize)).adjusted(6.5, 6.5, -6.5, -6.5);
    painter.setPen(QPen(QColor(90, 90, 90), 1));
    painter.setBrush(QColor(255, 255, 255, 220));
    painter.drawRoundedRect(box, 2, 2);
    if (!checked) return;
    QPainterPath tick;
    tick.moveTo(box.left() + 3, box.center().y());
    tick.lineTo(box.left() + 8, box.bottom() - 4);
    tick.lineTo(box.right() - 3, box.top() + 4);
    painter.setPen(QPen(QColor(30, 150, 50), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(tick);
}

void DrawClusterNumber(QPainter& painter, const QRect& cell, int markSize, int cluster) {
    const QRectF square(cell.right() + 1 - markSize, cell.bottom() + 1 - markSize, markSize, markSize);
    painter.setPen(QPen(QColor(20, 60, 140), 1));
    painter.setBrush(QColor(40, 90, 190));
    painter.drawEllipse(square.adjusted(2, 2, -2, -2));
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(markSize / 2);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(square, Qt::AlignCenter, QString::number(cluster));
}

}  // namespace ui
