#include "app/ui/splash_windows.h"

#include "app/ui/icons.h"
#include "platform/log.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace ui {

namespace {

// Sized to the splash picture, painted with it, centred on the primary screen.
void MakeSplash(QWidget* window) {
    const QPixmap splash = SplashPixmap();
    window->setFixedSize(splash.size());
    QPalette palette = window->palette();
    palette.setBrush(QPalette::Window, QBrush(splash));
    window->setPalette(palette);
    window->setAutoFillBackground(true);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        window->move(area.center() - QPoint(splash.width() / 2, splash.height() / 2));
    }
}

QLabel* SplashText(const QString& text, const QColor& color, QWidget* parent, int pixelSize) {
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignCenter);
    label->setStyleSheet(
        QStringLiteral("color: %1; background: transparent; font-size: %2px;").arg(color.name()).arg(pixelSize));
    return label;
}

struct SplashParts {
    QLabel* text;
    ConnectingAnimation* animation;
    QPushButton* button;
};

// The version title, a yellow text, a running animation and one button, on the splash.
SplashParts MakeSplashParts(QWidget* window, const QString& text, const QString& button) {
    auto* layout = new QVBoxLayout(window);
    layout->addStretch();
    layout->addWidget(SplashText(kProgramTitle, Qt::white, window, 20));
    SplashParts parts{SplashText(text, Qt::yellow, window, 14), new ConnectingAnimation(window),
                      new QPushButton(button, window)};
    layout->addWidget(parts.text);
    parts.animation->setFixedSize(200, 8);
    layout->addWidget(parts.animation, 0, Qt::AlignHCenter);
    parts.animation->Play();
    layout->addStretch();
    layout->addWidget(parts.button, 0, Qt::AlignHCenter);
    return parts;
}

}  // namespace

ConnectingAnimation::ConnectingAnimation(QWidget* parent) : QWidget(parent) {
    timer_.setInterval(60);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] {
        phase_ = (phase_ + 1) % 20;
        update();
    });
    hide();
}

void ConnectingAnimation::Play() {
    show();
    if (!timer_.isActive()) timer_.start();
}

void ConnectingAnimation::Stop() {
    timer_.stop();
    hide();
}

void ConnectingAnimation::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(220, 220, 220));
    const int block = std::max(4, width() / 5);
    const int x = (width() + block) * phase_ / 20 - block;
    p.fillRect(x, 0, block, height(), QColor(40, 90, 190));
}

InitSyncObjectsDialog::InitSyncObjectsDialog(std::function<int()> attempt, QWidget* parent)
    : QDialog(parent, Qt::FramelessWindowHint | Qt::Dialog), attempt_(std::move(attempt)) {
    setObjectName(QStringLiteral("InitSyncObjectsDialog"));
    setWindowTitle(kProgramTitle);
    MakeSplash(this);
    const SplashParts parts =
        MakeSplashParts(this, QStringLiteral("Ожидание запуска службы..."), QStringLiteral("Отмена"));
    parts.text->setObjectName(QStringLiteral("1001"));
    QObject::connect(parts.button, &QPushButton::clicked, this, [this] { reject(); });

    timer_.setInterval(1000);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { Attempt(); });
    timer_.start();
    // The first attempt as soon as the dialog's loop runs.
    QTimer::singleShot(0, this, [this] { Attempt(); });
}

void InitSyncObjectsDialog::Attempt() {
    if (attempting_ || !attempt_) return;
    attempting_ = true;
    const int result = attempt_();
    attempting_ = false;
    if (result == 2) return;
    timer_.stop();
    done(result == 1 ? 1 : 2);
}

void InitSyncObjectsDialog::reject() {
    WriteLog(QStringLiteral("InitSyncObjectsDialog: User press Cancel button."));
    timer_.stop();
    done(2);
}

ModelLoadingWindow::ModelLoadingWindow(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("ModelLoadingWindow"));
    setWindowTitle(kProgramTitle);
    setAttribute(Qt::WA_ShowWithoutActivating);
    MakeSplash(this);
    const SplashParts parts =
        MakeSplashParts(this, QStringLiteral("Загрузка моделей. Ожидайте..."), QStringLiteral("Закрыть"));
    text_ = parts.text;
    text_->setObjectName(QStringLiteral("1007"));
    animation_ = parts.animation;
    QObject::connect(parts.button, &QPushButton::clicked, this, [this] {
        hide();
        if (onClosed) onClosed();
    });
}

void ModelLoadingWindow::SetText(const QString& text) { text_->setText(text); }

QString ModelLoadingWindow::Text() const { return text_->text(); }

AboutBox::AboutBox(QWidget* parent) : QDialog(parent, Qt::FramelessWindowHint | Qt::Dialog) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(kProgramTitle);
    MakeSplash(this);
    auto* layout = new QVBoxLayout(this);
    layout->addStretch();
    layout->addWidget(SplashText(kProgramTitle, Qt::white, this, 20));
    layout->addWidget(SplashText(QStringLiteral("Person detection and recognition"), Qt::white, this, 14));
    layout->addStretch();
    auto* close = new QPushButton(QStringLiteral("Закрыть"), this);
    layout->addWidget(close, 0, Qt::AlignHCenter);
    QObject::connect(close, &QPushButton::clicked, this, [this] { accept(); });
}

}  // namespace ui
