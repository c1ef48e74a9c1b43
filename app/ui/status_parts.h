#pragma once
// A status bar of three parts, each an icon and a text, whose right ends follow the bar's width.

#include "app/shell/journal.h"

#include <QWidget>

#include <array>
#include <functional>

class QLabel;

namespace ui {

class StatusParts final : public QWidget {
public:
    using Ends = std::function<std::array<int, 3>(int width)>;
    StatusParts(Ends ends, QWidget* parent = nullptr);

    void SetText(int part, const QString& text);
    QString Text(int part) const;
    void SetIcon(int part, shell::StatusIcon icon);
    shell::StatusIcon Icon(int part) const { return icons_[size_t(part)]; }

protected:
    void resizeEvent(QResizeEvent*) override;

private:
    struct Part {
        QWidget* frame;
        QLabel* icon;
        QLabel* text;
    };
    Ends ends_;
    std::array<Part, 3> parts_{};
    std::array<shell::StatusIcon, 3> icons_{};
};

}  // namespace ui
