#pragma once
// Purpose: the marks drawn on a picture cell of a pad (the card's samples, the camera
//          snapshots): the selection box in the top-left corner and the cluster number in the
//          bottom-right corner, each in a square of `markSize` pixels.
// Threads: the user-interface thread (painting).
// Owns: nothing.

#include <QRect>

class QPainter;

namespace ui {

void DrawSelectionMark(QPainter& painter, const QRect& cell, int markSize, bool checked);
void DrawClusterNumber(QPainter& painter, const QRect& cell, int markSize, int cluster);

}  // namespace ui
