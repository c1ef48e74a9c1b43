#include "app/ui/stream_test_dialog.h"

#include "app/camera/camera_list.h"
#include "app/ui/camera_wizard_rules.h"
#include "app/ui/splash_windows.h"

#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <opencv2/imgproc.hpp>

#include <chrono>
#include <cstdint>
#include <ctime>
#include <utility>

namespace ui {

namespace {

constexpr std::chrono::milliseconds kDisplayPeriod{100};

// The frame as an RGB picture of the shown size; null for a frame of a kind video never gives.
QImage ShownPicture(const cv::Mat& frame, QSize size) {
    if (frame.depth() != CV_8U) {
        return {};
    }
    cv::Mat scaled;
    cv::resize(frame, scaled, cv::Size(size.width(), size.height()), 0, 0, cv::INTER_LINEAR);
    cv::Mat rgb;
    switch (scaled.channels()) {
    case 1:
        cv::cvtColor(scaled, rgb, cv::COLOR_GRAY2RGB);
        break;
    case 3:
        cv::cvtColor(scaled, rgb, cv::COLOR_BGR2RGB);
        break;
    case 4:
        cv::cvtColor(scaled, rgb, cv::COLOR_BGRA2RGB);
        break;
    default:
        return {};
    }
    return QImage(rgb.data, rgb.cols, rgb.rows, int(rgb.step), QImage::Format_RGB888).copy();
}

}  // namespace

void ShowStreamTestError(const QString& text, QWidget* parent) { QMessageBox::critical(parent, kProgramTitle, text); }

StreamTestDialog::StreamTestDialog(const camera::StreamTestParams& params, StreamTestMessage message, QWidget* parent)
    : QDialog(parent), params_(params), message_(std::move(message)), worker_(params, this) {
    setObjectName(QStringLiteral("StreamTestDialog"));
    setWindowTitle(QStringLiteral("Проверка захвата потока видео"));
    auto* layout = new QVBoxLayout(this);
    picture_ = new QLabel(this);
    picture_->setObjectName(QStringLiteral("StreamTest"));
    picture_->setFixedSize(state_.PictureSize());
    layout->addWidget(picture_, 0, Qt::AlignHCenter);
    resolution_ = new QLabel(this);
    resolution_->setObjectName(QStringLiteral("resolution"));
    layout->addWidget(resolution_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("Отмена"), this);
    cancel_->setObjectName(QStringLiteral("cancel"));
    buttons->addWidget(ok);
    buttons->addWidget(cancel_);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, [this] { Tick(); });
}

StreamTestDialog::~StreamTestDialog() {
    timer_->stop();
    // The worker's thread reports to this dialog until it ends.
    worker_.RequestStop(int(StreamTestCommand::Cancel));
    worker_.Join();
}

bool StreamTestDialog::Start() {
    if (params_.camera.Type == camera::kIpCamera && !worker_.ResolveAddress()) {
        message_(QStringLiteral("Невозможно определить IP-адрес хоста камеры."), parentWidget());
        return false;
    }
    if (!worker_.Start()) {
        state_.Finished();
        QMetaObject::invokeMethod(
            this, [this] { reject(); }, Qt::QueuedConnection);
        return true;
    }
    timer_->start(kDisplayPeriod);
    return true;
}

void StreamTestDialog::done(int result) {
    const StreamTestCommand command = result == Accepted ? StreamTestCommand::Ok : StreamTestCommand::Cancel;
    switch (state_.Command(command)) {
    case StreamTestCommandOutcome::StopRequested:
        worker_.RequestStop(int(command));
        cancel_->setEnabled(false);
        return;
    case StreamTestCommandOutcome::Ignored:
        return;
    case StreamTestCommandOutcome::Close:
        worker_.Join();
        QDialog::done(result);
        return;
    }
}

void StreamTestDialog::StreamOpened(int, int) {
    QMetaObject::invokeMethod(
        this,
        [this] {
            state_.Opened();
            resolution_->setText(state_.ResolutionText());
        },
        Qt::QueuedConnection);
}

void StreamTestDialog::StreamTestFinished() {
    QMetaObject::invokeMethod(
        this, [this] { ShowFinished(); }, Qt::QueuedConnection);
}

void StreamTestDialog::ShowFinished() {
    timer_->stop();
    state_.Finished();
    const QString error = worker_.ErrorText();
    if (!error.isEmpty()) {
        message_(error, this);
    }
    QMetaObject::invokeMethod(
        this, [this] { reject(); }, Qt::QueuedConnection);
}

void StreamTestDialog::Tick() {
    if (!state_.Watching()) {
        return;
    }
    cv::Mat frame;
    if (!worker_.Tick(int64_t(std::time(nullptr)), &frame)) {
        return;
    }
    ShowFrame(frame);
}

void StreamTestDialog::ShowFrame(const cv::Mat& frame) {
    if (state_.FrameArrived(frame.cols, frame.rows)) {
        picture_->setFixedSize(state_.PictureSize());
        adjustSize();
    }
    resolution_->setText(state_.ResolutionText());
    const QImage picture = ShownPicture(frame, state_.PictureSize());
    if (!picture.isNull()) {
        picture_->setPixmap(QPixmap::fromImage(picture));
    }
}

void RunStreamTest(const camera::StreamTestParams& params, QWidget* parent, const StreamTestMessage& message) {
    camera::StreamTestParams resolved = params;
    if (resolved.camera.Type == camera::kWebCamera) {
        const WebCameraTestCheck check = CheckWebCameraForTest(&resolved.camera);
        if (check != WebCameraTestCheck::Ready) {
            message(WebCameraTestRefusal(check), parent);
            return;
        }
    }
    StreamTestDialog dialog(resolved, message, parent);
    if (dialog.Start()) {
        dialog.exec();
    }
}

std::function<void(const camera::StreamTestParams&, QWidget*)> StreamTestService(StreamTestMessage message) {
    return [message = std::move(message)](const camera::StreamTestParams& params, QWidget* parent) {
        RunStreamTest(params, parent, message);
    };
}

}  // namespace ui
