#pragma once
// Purpose: the geometry of a pad of square picture cells in a vertically scrolled viewport (the
//          person card's samples, the camera snapshots): how many columns fit, which row is on
//          top, where a cell is, which cell a point hits and where the focus goes on a key.
// Threads: any (a value type).
// Owns: nothing.

#include <QPoint>
#include <QRect>

#include <optional>

namespace browser {

enum class GridKey { Left, Right, Up, Down, Home, End, PageUp, PageDown };
enum class PadButton { Left, Right };

// The grid key of a Qt key code (Qt::Key_Left ...), if it is one.
std::optional<GridKey> GridKeyOf(int qtKey);

// What a viewport narrower than one cell shows.
enum class NarrowViewport { Nothing, OneColumn };

class CellGrid {
public:
    CellGrid(int cellSize, NarrowViewport narrow) : cell_(cellSize), narrow_(narrow) {}

    // Keeps the top row within the new range.
    void SetViewport(int width, int height);
    void SetCount(int count);

    // 0 while the viewport is narrower than one cell and shows nothing then.
    int Columns() const;
    bool LaidOut() const { return Columns() > 0; }
    int Rows() const;
    // Whole rows that fit, at least 1.
    int PageRows() const;
    // The rows that do not fit; 0 when all fit (no scrolling).
    int ScrollRange() const;
    int TopRow() const { return topRow_; }
    void SetTopRow(int row);
    // Scrolls as little as possible so that the cell's row is shown.
    void Reveal(int index);

    // In viewport coordinates (the scroll applied); empty when not laid out.
    QRect CellRect(int index) const;
    std::optional<int> HitTest(QPoint viewportPoint) const;
    // The cell the focus moves to from `from` (none: the first cell); nothing when empty.
    std::optional<int> KeyTarget(std::optional<int> from, GridKey key) const;

private:
    int cell_;
    NarrowViewport narrow_;
    int width_ = 0;
    int height_ = 0;
    int count_ = 0;
    int topRow_ = 0;
};

}  // namespace browser
