#include "app/ui/icons.h"

#include <QHash>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace ui {

namespace {

QPixmap Disc(int size, const QColor& color, const QString& glyph) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(color.darker(150), size / 16 + 1));
    p.setBrush(color);
    const int margin = size / 8;
    p.drawEllipse(margin, margin, size - 2 * margin, size - 2 * margin);
    if (!glyph.isEmpty()) {
        QFont font = p.font();
        font.setBold(true);
        font.setPixelSize(size / 2);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(pixmap.rect(), Qt::AlignCenter, glyph);
    }
    return pixmap;
}

const QColor kGreen(40, 160, 60);
const QColor kYellow(220, 170, 20);
const QColor kRed(200, 40, 40);
const QColor kBlue(40, 90, 190);
const QColor kGray(130, 130, 130);

// Icons are drawn once per key (the blink timer asks for the tab icons twice a second).
template <typename Draw>
QIcon Cached(int key, Draw draw) {
    static QHash<int, QIcon> cache;
    auto it = cache.constFind(key);
    if (it == cache.constEnd()) it = cache.insert(key, draw());
    return *it;
}

}  // namespace

QIcon DrawJournalIcon(int tab, int iconKind);
QIcon DrawTabIcon(int index);
QIcon DrawStatusIcon(shell::StatusIcon icon);

QIcon ToolbarIcon(int image) {
    constexpr int kSize = 48;
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (image) {
    case 0: {  // start: a triangle
        QPainterPath path;
        path.moveTo(14, 8);
        path.lineTo(40, 24);
        path.lineTo(14, 40);
        path.closeSubpath();
        p.fillPath(path, kGreen);
        break;
    }
    case 1:  // stop: a square
        p.fillRect(12, 12, 24, 24, kRed);
        break;
    case 2:  // camera: body and lens
        p.setBrush(kGray);
        p.drawRoundedRect(6, 14, 36, 24, 4, 4);
        p.setBrush(kBlue);
        p.drawEllipse(16, 18, 16, 16);
        break;
    case 3:  // settings: a ring
        p.setPen(QPen(kGray, 6));
        p.drawEllipse(12, 12, 24, 24);
        break;
    case 4:  // database: a cylinder
        p.setBrush(kBlue);
        p.drawRect(10, 14, 28, 22);
        p.drawEllipse(10, 8, 28, 12);
        p.drawEllipse(10, 30, 28, 12);
        break;
    default:  // snapshot: a frame around a face
        p.setPen(QPen(kYellow, 4));
        p.drawRect(8, 8, 32, 32);
        p.setBrush(kYellow);
        p.drawEllipse(18, 16, 12, 14);
        break;
    }
    return QIcon(pixmap);
}

QIcon JournalIcon(const shell::EntryIcon& icon) {
    // The alternative is the tab's image list, its value the image.
    const int tab = int(icon.index());
    const int iconKind = std::visit([](auto kind) { return int(kind); }, icon);
    return Cached(tab * 1000 + iconKind, [tab, iconKind] { return DrawJournalIcon(tab, iconKind); });
}

QIcon DrawJournalIcon(int tab, int iconKind) {
    switch (tab) {
    case 0: {  // camera
        static const QColor colors[] = {kGreen, kYellow, kRed, kBlue, kGray};
        return QIcon(Disc(16, colors[iconKind >= 0 && iconKind < 5 ? iconKind : 4], {}));
    }
    case 1: {  // database
        static const QColor colors[] = {kGreen, kYellow, kRed};
        return QIcon(Disc(16, colors[iconKind >= 0 && iconKind < 3 ? iconKind : 2], {}));
    }
    case 2: {  // recognition: 3 + watch list
        if (iconKind == 3) return QIcon(Disc(16, QColor(230, 230, 230), {}));
        if (iconKind == 4) return QIcon(Disc(16, kRed, {}));
        if (iconKind == 5) return QIcon(Disc(16, kGray, {}));
        return QIcon(Disc(16, kBlue, {}));
    }
    case 3: {  // actions
        static const QColor colors[] = {kGreen, kYellow, kRed, kBlue, kBlue, kBlue};
        static const char* glyphs[] = {"", "!", "", "C", "S", "@"};
        const int k = iconKind >= 0 && iconKind < 6 ? iconKind : 2;
        return QIcon(Disc(16, colors[k], QString::fromLatin1(glyphs[k])));
    }
    default: {  // notifications: information, warning, error
        static const QColor colors[] = {kBlue, kYellow, kRed};
        return QIcon(Disc(16, colors[iconKind >= 0 && iconKind < 3 ? iconKind : 2], {}));
    }
    }
}

QIcon TabIcon(int index) {
    return Cached(index, [index] { return DrawTabIcon(index); });
}

QIcon DrawTabIcon(int index) {
    static const QColor colors[] = {kGray, kGreen, kYellow, kRed, kBlue, kBlue, kBlue, kBlue};
    static const char* glyphs[] = {"", "", "", "", "K", "R", "A", "N"};
    const int i = index >= 0 && index < 8 ? index : 0;
    return QIcon(Disc(16, colors[i], QString::fromLatin1(glyphs[i])));
}

QIcon StatusBarIcon(shell::StatusIcon icon) {
    return Cached(int(icon), [icon] { return DrawStatusIcon(icon); });
}

QIcon DrawStatusIcon(shell::StatusIcon icon) {
    switch (icon) {
    case shell::StatusIcon::Working:
        return QIcon(Disc(16, kGreen, {}));
    case shell::StatusIcon::Warning:
        return QIcon(Disc(16, kYellow, {}));
    case shell::StatusIcon::Error:
        return QIcon(Disc(16, kRed, {}));
    case shell::StatusIcon::ServerRunning:
        return QIcon(Disc(16, kBlue, QStringLiteral("M")));
    case shell::StatusIcon::ServerIdle:
        return QIcon(Disc(16, kGray, {}));
    default:
        return {};
    }
}

QPixmap SplashPixmap() {
    QPixmap pixmap(420, 260);
    QPainter p(&pixmap);
    QLinearGradient gradient(0, 0, 0, pixmap.height());
    gradient.setColorAt(0, QColor(20, 40, 90));
    gradient.setColorAt(1, QColor(5, 10, 30));
    p.fillRect(pixmap.rect(), gradient);
    p.setPen(QPen(QColor(80, 120, 200), 2));
    p.drawRect(pixmap.rect().adjusted(1, 1, -2, -2));
    return pixmap;
}

}  // namespace ui
