#include "app/ui/status_parts.h"

#include "app/ui/icons.h"

#include <QFrame>
#include <QLabel>

namespace ui {

StatusParts::StatusParts(Ends ends, QWidget* parent) : QWidget(parent), ends_(std::move(ends)) {
    for (Part& part : parts_) {
        auto* frame = new QFrame(this);
        frame->setFrameShape(QFrame::StyledPanel);
        frame->setFrameShadow(QFrame::Sunken);
        part.frame = frame;
        part.icon = new QLabel(this);
        part.text = new QLabel(this);
        part.text->setTextFormat(Qt::PlainText);
    }
    setMinimumHeight(20);
}

void StatusParts::SetText(int part, const QString& text) { parts_[size_t(part)].text->setText(text); }

QString StatusParts::Text(int part) const { return parts_[size_t(part)].text->text(); }

void StatusParts::SetIcon(int part, shell::StatusIcon icon) {
    icons_[size_t(part)] = icon;
    const QIcon picture = StatusBarIcon(icon);
    QLabel* label = parts_[size_t(part)].icon;
    if (picture.isNull()) {
        label->clear();
        label->hide();
    } else {
        label->setPixmap(picture.pixmap(16, 16));
        label->show();
    }
    resizeEvent(nullptr);
}

void StatusParts::resizeEvent(QResizeEvent*) {
    const std::array<int, 3> ends = ends_(width());
    int start = 0;
    for (size_t i = 0; i < parts_.size(); ++i) {
        const int end = std::max(start, ends[i]);
        parts_[i].frame->setGeometry(start, 0, end - start, height());
        int x = start + 3;
        if (icons_[i] != shell::StatusIcon::None) {
            parts_[i].icon->setGeometry(x, (height() - 16) / 2, 16, 16);
            x += 19;
        }
        parts_[i].text->setGeometry(x, 0, std::max(0, end - x - 2), height());
        start = end;
    }
}

}  // namespace ui
