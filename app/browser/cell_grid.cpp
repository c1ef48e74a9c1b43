#include "app/browser/cell_grid.h"

#include <Qt>

#include <algorithm>

namespace browser {

std::optional<GridKey> GridKeyOf(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Left:
        return GridKey::Left;
    case Qt::Key_Right:
        return GridKey::Right;
    case Qt::Key_Up:
        return GridKey::Up;
    case Qt::Key_Down:
        return GridKey::Down;
    case Qt::Key_Home:
        return GridKey::Home;
    case Qt::Key_End:
        return GridKey::End;
    case Qt::Key_PageUp:
        return GridKey::PageUp;
    case Qt::Key_PageDown:
        return GridKey::PageDown;
    default:
        return std::nullopt;
    }
}

void CellGrid::SetViewport(int width, int height) {
    width_ = std::max(0, width);
    height_ = std::max(0, height);
    SetTopRow(topRow_);
}

void CellGrid::SetCount(int count) {
    count_ = std::max(0, count);
    SetTopRow(topRow_);
}

int CellGrid::Columns() const {
    const int fit = width_ / cell_;
    return narrow_ == NarrowViewport::OneColumn ? std::max(1, fit) : fit;
}

int CellGrid::Rows() const { return LaidOut() ? (count_ + Columns() - 1) / Columns() : 0; }

int CellGrid::PageRows() const { return std::max(1, height_ / cell_); }

int CellGrid::ScrollRange() const { return std::max(0, Rows() - PageRows()); }

void CellGrid::SetTopRow(int row) { topRow_ = std::clamp(row, 0, ScrollRange()); }

void CellGrid::Reveal(int index) {
    if (!LaidOut()) return;
    const int row = index / Columns();
    if (row < topRow_) {
        SetTopRow(row);
    } else if (row >= topRow_ + PageRows()) {
        SetTopRow(row - PageRows() + 1);
    }
}

QRect CellGrid::CellRect(int index) const {
    if (!LaidOut() || index < 0 || index >= count_) return {};
    return {(index % Columns()) * cell_, (index / Columns() - topRow_) * cell_, cell_, cell_};
}

std::optional<int> CellGrid::HitTest(QPoint viewportPoint) const {
    if (!LaidOut() || viewportPoint.x() < 0 || viewportPoint.y() < 0) return std::nullopt;
    const int column = viewportPoint.x() / cell_;
    if (column >= Columns()) return std::nullopt;
    const int index = (viewportPoint.y() / cell_ + topRow_) * Columns() + column;
    if (index >= count_) return std::nullopt;
    return index;
}

std::optional<int> CellGrid::KeyTarget(std::optional<int> from, GridKey key) const {
    if (count_ == 0) return std::nullopt;
    if (!from || *from >= count_) return 0;
    const int index = *from;
    const int columns = std::max(1, Columns());
    const int row = index / columns;
    const int column = index % columns;
    const int last = count_ - 1;
    const int lastRow = last / columns;
    switch (key) {
    case GridKey::Left:
        return column > 0 ? index - 1 : index;
    case GridKey::Right:
        return column < columns - 1 && index < last ? index + 1 : index;
    case GridKey::Up:
        return row > 0 ? index - columns : index;
    case GridKey::Down:
        // Under the gap of a short last row the last cell is the nearest one.
        return row < lastRow ? std::min(index + columns, last) : index;
    case GridKey::Home:
        return 0;
    case GridKey::End:
        return last;
    case GridKey::PageUp:
        return std::max(row - PageRows(), 0) * columns + column;
    case GridKey::PageDown:
        return std::min(std::min(row + PageRows(), lastRow) * columns + column, last);
    }
    return index;
}

}  // namespace browser
