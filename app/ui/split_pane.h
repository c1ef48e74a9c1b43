#pragma once
// Two panels with a 5-pixel splitter band between them (left | right, or top over bottom).
// Dragging the band moves the division within 0.3..0.7; the end of a drag that changed it
// hands the new proportion to `save`.

#include "app/ui/frame_rules.h"

#include <QWidget>

#include <functional>

namespace ui {

class SplitPane final : public QWidget {
public:
    SplitPane(Qt::Orientation orientation, double proportion, std::function<void(double)> save,
              QWidget* parent = nullptr);

    void SetPanels(QWidget* first, QWidget* second);
    double Proportion() const { return drag_.Proportion(); }
    bool Dragging() const { return drag_.Dragging(); }
    // The application lost activation.
    void EndDrag();

protected:
    void resizeEvent(QResizeEvent*) override;
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    int Extent() const { return orientation_ == Qt::Horizontal ? width() : height(); }
    int Along(const QPoint& p) const { return orientation_ == Qt::Horizontal ? p.x() : p.y(); }
    void LayOut();

    Qt::Orientation orientation_;
    SplitterDrag drag_;
    std::function<void(double)> save_;
    QWidget* first_ = nullptr;
    QWidget* second_ = nullptr;
};

}  // namespace ui
