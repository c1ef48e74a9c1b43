#pragma once
// Purpose: what the photo pad and the sample pad share: a viewport of item widgets scrolled by a
//          scroll bar, with an item menu. The viewport's resize, wheel and context menu and the
//          items' painting and mouse presses are handled here; the pad says how to place, paint
//          and click its items.
// Threads: the user-interface thread only.
// Owns: nothing beyond QWidget; the pad creates the widgets named here as its children.

#include <QWidget>

#include <cstddef>
#include <vector>

class QKeyEvent;
class QMenu;
class QScrollBar;

namespace ui {

class ItemPad : public QWidget {
public:
    using QWidget::QWidget;

protected:
    // Makes count item widgets with that object name in the viewport (the old ones go) and
    // places them.
    void RebuildItems(size_t count, const QString& name);
    bool eventFilter(QObject* watched, QEvent* event) override;

    // Lays the items out for the viewport's size and the scroll position.
    virtual void Place() = 0;
    // Enables the commands (before the item menu pops up).
    virtual void RefreshCommands() = 0;
    virtual void PaintItem(QWidget* item, int index) = 0;
    // A left or right press at a point of the viewport.
    virtual void ClickAt(QPoint viewportPoint, Qt::MouseButton button) = 0;
    // A key pressed in the viewport; true when the pad took it.
    virtual bool ViewportKey(const QKeyEvent&) { return false; }

    QWidget* viewport_ = nullptr;
    QScrollBar* scrollBar_ = nullptr;
    std::vector<QWidget*> items_;
    QMenu* itemMenu_ = nullptr;
};

}  // namespace ui
