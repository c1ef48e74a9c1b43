#include "app/ui/camera_panel.h"

#include "app/shell/journal.h"
#include "app/ui/icons.h"
#include "app/ui/queued_call.h"
#include "app/ui/settings_saver.h"
#include "app/ui/splash_windows.h"
#include "app/ui/status_parts.h"
#include "platform/oledate.h"
#include "settings/settings_state.h"

#include <opencv2/imgproc.hpp>

#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QResizeEvent>
#include <QToolBar>
#include <QToolButton>

#include <chrono>

namespace ui {

namespace {

constexpr int kTitleHeight = 22;
constexpr int kViewportTop = 23;

}  // namespace

QImage ImageFromMat(const cv::Mat& picture) {
    if (picture.empty() || picture.depth() != CV_8U) return {};
    if (picture.channels() == 3) {
        return QImage(picture.data, picture.cols, picture.rows, int(picture.step), QImage::Format_BGR888).copy();
    }
    if (picture.channels() == 1) {
        return QImage(picture.data, picture.cols, picture.rows, int(picture.step), QImage::Format_Grayscale8).copy();
    }
    if (picture.channels() == 4) {
        return QImage(picture.data, picture.cols, picture.rows, int(picture.step), QImage::Format_ARGB32).copy();
    }
    return {};
}

PicturePane::PicturePane(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("OstrovidWorkCamera"));
    setCursor(Qt::ArrowCursor);
    setAttribute(Qt::WA_OpaquePaintEvent);
    hide();
}

void PicturePane::SetPicture(const cv::Mat& picture) {
    QImage image = ImageFromMat(picture);
    if (image.isNull()) return;
    image_ = std::move(image);
    update();
}

void PicturePane::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (image_.isNull()) {
        p.fillRect(rect(), Qt::black);
        return;
    }
    // The picture arrives at the displayed size; a pane of another size (a layout in flight)
    // scales it rather than leaving garbage.
    if (image_.size() == size()) {
        p.drawImage(0, 0, image_);
    } else {
        p.drawImage(rect(), image_);
    }
}

ViewportWidget::ViewportWidget(camera::CameraWork& work, const shell::Journal& journal,
                               const settings::SettingsHub& hub, viewport::ViewportServices& services,
                               recognition::RememberedPersons& remembered, recognition::RecognizedPersonsList& list,
                               viewport::LiveViewCalls calls, ViewportHooks hooks, QWidget* parent)
    : QWidget(parent), hooks_(std::move(hooks)), picture_(new PicturePane(this)) {
    setObjectName(QStringLiteral("Vektra:OSTROVID_V2:CAMERA:VIEWPORT"));
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Base));
    setPalette(palette);
    live_ =
        std::make_unique<viewport::LiveView>(work, *this, hub, journal, services, remembered, list, std::move(calls));
    timer_.setInterval(std::chrono::milliseconds(30));
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { live_->Tick(); });
    timer_.start();
}

ViewportWidget::~ViewportWidget() {
    timer_.stop();
    live_.reset();
    labels_.clear();
}

void ViewportWidget::resizeEvent(QResizeEvent*) { LayOut(); }

void ViewportWidget::LayOut() {
    const ViewportPlacement next = PlaceViewportPicture(width(), height(), frameColumns_, frameRows_);
    const bool sizeChanged = next.width != placement_.width || next.height != placement_.height;
    placement_ = next;
    if (sizeChanged) picture_->resize(placement_.width, placement_.height);
    picture_->move(placement_.x, placement_.y);
}

void ViewportWidget::LayOutAgain(int frameColumns, int frameRows) {
    frameColumns_ = frameColumns;
    frameRows_ = frameRows;
    LayOut();
}

void ViewportWidget::ShowFaceCount(int faces) {
    if (hooks_.showFaceCount) hooks_.showFaceCount(faces);
}

void ViewportWidget::ShowPicture(const cv::Mat& picture) {
    picture_->SetPicture(picture);
    if (hooks_.hideAnimation) hooks_.hideAnimation();
    if (picture_->isHidden()) picture_->show();
}

void ViewportWidget::ShowConnectingAnimation() {
    if (hooks_.showAnimation) hooks_.showAnimation();
}

void ViewportWidget::HidePicture() { picture_->hide(); }

recognition::LabelPoint ViewportWidget::PictureOrigin() const {
    const QPoint origin = picture_->mapToGlobal(QPoint(0, 0));
    return {origin.x(), origin.y()};
}

const QLabel* ViewportWidget::Label(uint32_t subjectId) const {
    auto it = labels_.find(subjectId);
    return it == labels_.end() ? nullptr : it->second.get();
}

void ViewportWidget::MoveLabel(uint32_t subjectId, recognition::LabelPoint position) {
    auto it = labels_.find(subjectId);
    if (it != labels_.end()) it->second->move(position.x, position.y);
}

void ViewportWidget::SetLabelVisible(uint32_t subjectId, bool visible) {
    auto it = labels_.find(subjectId);
    if (it != labels_.end()) it->second->setVisible(visible);
}

void ViewportWidget::AddLabel(uint32_t subjectId, recognition::LabelPoint position) {
    auto label = std::make_unique<QLabel>(picture_, Qt::ToolTip | Qt::FramelessWindowHint);
    label->setObjectName(QStringLiteral("label:%1").arg(subjectId));
    label->setTextFormat(Qt::PlainText);
    label->setAttribute(Qt::WA_ShowWithoutActivating);
    QFont font(QStringLiteral("Calibri"));
    font.setPixelSize(18);
    font.setWeight(QFont::Medium);
    label->setFont(font);
    label->setStyleSheet(QStringLiteral("QLabel { background: #ffffe1; color: black; border: 1px solid gray; }"));
    label->move(position.x, position.y);
    labels_[subjectId] = std::move(label);
}

void ViewportWidget::SetLabelText(uint32_t subjectId, const QString& text) {
    auto it = labels_.find(subjectId);
    if (it == labels_.end()) return;
    it->second->setText(text);
    it->second->adjustSize();
}

void ViewportWidget::RemoveLabel(uint32_t subjectId) { labels_.erase(subjectId); }

void ViewportWidget::RemoveLabels() { labels_.clear(); }

CameraPanelWidget::CameraPanelWidget(const shell::Journal& journal, settings::SettingsHub& hub,
                                     CameraPanelContext context, QWidget* parent)
    : QWidget(parent), hub_(hub), context_(std::move(context)) {
    setObjectName(QStringLiteral("Vektra:OSTROVID_V2:CAMERA:PANEL"));
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Base));
    setPalette(palette);

    bar_ = new QToolBar(this);
    bar_->setIconSize(QSize(16, 16));
    framedFace_ = new QToolButton(bar_);
    framedFace_->setObjectName(QStringLiteral("40007"));
    framedFace_->setCheckable(true);
    framedFace_->setIcon(ToolbarIcon(5));
    framedFace_->setToolTip(QStringLiteral("Обрамление лиц"));
    framedFace_->setFixedWidth(23);
    bar_->addWidget(framedFace_);
    QObject::connect(framedFace_, &QToolButton::clicked, this, [this] { ToggleFramedFace(); });
    animation_ = new ConnectingAnimation(bar_);

    line_ = new QFrame(this);
    static_cast<QFrame*>(line_)->setFrameShape(QFrame::HLine);
    title_ = new QLabel(this);
    title_->setAlignment(Qt::AlignCenter);
    title_->setAttribute(Qt::WA_TranslucentBackground);
    QFont font(QStringLiteral("Calibri"));
    font.setPixelSize(20);
    title_->setFont(font);

    ViewportHooks hooks;
    hooks.showFaceCount = [this](int faces) { status_->SetText(1, QString::asprintf("%d", faces)); };
    hooks.showAnimation = [this] { animation_->Play(); };
    hooks.hideAnimation = [this] {
        if (animation_->Playing()) animation_->Stop();
    };
    viewport::LiveViewCalls calls{context_.detect,
                                  context_.dispatch,
                                  {[] { return platform::OleDateNow(); }, [] { return platform::UnixTimeNow(); }},
                                  [] { return camera::CameraThreadExists(); },
                                  context_.takeSnapshotRequest,
                                  context_.listEntryAdded,
                                  context_.listChanged};
    static viewport::ViewportServices noServices;
    viewport_ = new ViewportWidget(camera::g_CameraWork, journal, hub_,
                                   context_.services != nullptr ? *context_.services : noServices, *context_.remembered,
                                   *context_.list, std::move(calls), std::move(hooks), this);
    status_ = new StatusParts(&CameraStatusPartEnds, this);
    status_->SetIcon(2, shell::StatusIcon::ServerIdle);

    framedFace_->setChecked(hub_.Get(&settings::SettingsState::viewFeatures)->FramedFace != 0);
}

void CameraPanelWidget::resizeEvent(QResizeEvent*) {
    const int w = width();
    const int h = height();
    const int barHeight = std::max(26, bar_->sizeHint().height());
    bar_->setGeometry(0, 0, w, barHeight);
    animation_->setGeometry(ConnectingAnimationRect(w, barHeight));
    line_->setGeometry(0, barHeight, w, 1);
    title_->setGeometry(0, barHeight + 1, w, kTitleHeight);
    const int statusHeight = status_->sizeHint().height() > 0 ? status_->sizeHint().height() : 22;
    status_->setGeometry(0, h - statusHeight, w, statusHeight);
    const int top = barHeight + kViewportTop;
    viewport_->setGeometry(5, top, std::max(0, w - 10), std::max(0, h - statusHeight - 3 - top));
}

void CameraPanelWidget::SetTitle(const QString& title) { title_->setText(title); }

void CameraPanelWidget::ShowNoCamera() {
    status_->SetIcon(0, shell::StatusIcon::None);
    status_->SetText(0, QStringLiteral("Камера не выбрана"));
}

void CameraPanelWidget::ToggleFramedFace() {
    settings::CameraViewFeatures features{};
    hub_.Update([&features](settings::SettingsState& s) {
        s.viewFeatures.FramedFace = s.viewFeatures.FramedFace != 0 ? 0 : 1;
        features = s.viewFeatures;
    });
    if (context_.saver != nullptr) context_.saver->SaveCameraViewFeatures(features);
    SetFramedFaceChecked(features.FramedFace != 0);
    if (context_.refreshToolbar) context_.refreshToolbar();
}

void CameraPanelWidget::SetFramedFaceChecked(bool checked) { framedFace_->setChecked(checked); }

void CameraPanelWidget::PostShowAnimation() {
    PostCall(this, [this] { animation_->Play(); });
}

void CameraPanelWidget::PostServerStatus(ManagementServer server, int sessions) {
    PostCall(this, [this, server, sessions] {
        status_->SetIcon(
            2, server == ManagementServer::Running ? shell::StatusIcon::ServerRunning : shell::StatusIcon::ServerIdle);
        status_->SetText(2, ConnectionsText(server, sessions));
    });
}

void CameraPanelWidget::ShowCameraStarted() {
    animation_->Play();
    status_->SetIcon(0, shell::StatusIcon::Working);
}

void CameraPanelWidget::HideCameraPicture() {
    viewport_->HidePicture();
    animation_->Stop();
}

void CameraPanelWidget::DiscardSubjects() { viewport_->Live().DiscardSubjects(); }

void CameraPanelWidget::ClearFrameState() {
    if (context_.clearSnapshotRequest) context_.clearSnapshotRequest();
}

void CameraPanelWidget::ShowCameraStopped() {
    status_->SetIcon(0, shell::StatusIcon::None);
    status_->SetIcon(1, shell::StatusIcon::None);
    status_->SetText(1, QString());
    status_->SetText(0, QStringLiteral("Камера остановлена"));
}

void CameraPanelWidget::RefreshToolbar() {
    if (context_.refreshToolbar) context_.refreshToolbar();
}

bool CameraPanelWidget::CameraRunning() const { return camera::CameraThreadExists(); }

void CameraPanelWidget::ShowEvent(const QString& text, shell::StatusIcon icon) {
    status_->SetIcon(0, icon);
    status_->SetText(0, text);
}

}  // namespace ui
