#pragma once
// The camera panel: its bar with the framed-faces button and the connecting animation, the
// camera title, the viewport with the picture window and the status bar. The viewport paints
// the camera's live view (viewport::LiveView, which it owns) and forwards its 30 ms timer to it;
// the panel is the camera code's CameraPanel and the journal's camera status bar.

#include "app/camera/camera_work.h"
#include "app/shell/journal_model.h"
#include "app/ui/frame_rules.h"
#include "app/viewport/live_surface.h"
#include "app/viewport/live_view.h"
#include "app/viewport/viewport_services.h"
#include "settings/settings_hub.h"

#include <QImage>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>

class QLabel;
class QToolBar;
class QToolButton;

namespace ui {

class ConnectingAnimation;
class SettingsSaver;
class StatusParts;

// "OstrovidWorkCamera": paints the last picture it was given.
class PicturePane final : public QWidget {
public:
    explicit PicturePane(QWidget* parent);
    // BGR (3 channels) or gray pictures; anything else is ignored.
    void SetPicture(const cv::Mat& picture);
    const QImage& Picture() const { return image_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QImage image_;
};

// BGR or gray matrix as a QImage that owns its pixels; null for other types.
QImage ImageFromMat(const cv::Mat& picture);

// What the viewport shows outside itself: the face count and the connecting animation.
struct ViewportHooks {
    std::function<void(int faces)> showFaceCount;
    std::function<void()> showAnimation;
    std::function<void()> hideAnimation;
};

// The picture window and the labels of one camera's live view, laid out in the viewport.
// User-interface thread only. Owns the live view, which goes before the labels and the
// picture window.
class ViewportWidget final : public QWidget, public viewport::LiveSurface {
public:
    // Each tick and each worker result reads one snapshot of the hub's settings.
    ViewportWidget(camera::CameraWork& work, const shell::Journal& journal, const settings::SettingsHub& hub,
                   viewport::ViewportServices& services, recognition::RememberedPersons& remembered,
                   recognition::RecognizedPersonsList& list, viewport::LiveViewCalls calls, ViewportHooks hooks,
                   QWidget* parent);
    ~ViewportWidget() override;

    PicturePane* Picture() const { return picture_; }
    // Where the workers' results and the management sessions' state requests are posted.
    viewport::LiveView& Live() { return *live_; }
    ViewportPlacement Placement() const { return placement_; }
    // The camera stopped: the picture window hides.
    void HidePicture();
    size_t LabelCount() const { return labels_.size(); }
    const QLabel* Label(uint32_t subjectId) const;

    // ViewportSurface
    void ShowFaceCount(int faces) override;
    void LayOutAgain(int frameColumns, int frameRows) override;
    cv::Size DisplayedSize() const override { return {placement_.width, placement_.height}; }
    void ShowPicture(const cv::Mat& picture) override;
    void ShowConnectingAnimation() override;
    recognition::LabelPoint PictureOrigin() const override;
    void MoveLabel(uint32_t subjectId, recognition::LabelPoint position) override;
    void SetLabelVisible(uint32_t subjectId, bool visible) override;

    // LiveSurface
    void AddLabel(uint32_t subjectId, recognition::LabelPoint position) override;
    void SetLabelText(uint32_t subjectId, const QString& text) override;
    void RemoveLabel(uint32_t subjectId) override;
    void RemoveLabels() override;

protected:
    void resizeEvent(QResizeEvent*) override;

private:
    void LayOut();

    ViewportHooks hooks_;
    PicturePane* picture_;
    QTimer timer_;
    int frameColumns_ = 320;
    int frameRows_ = 240;
    ViewportPlacement placement_;
    std::map<uint32_t, std::unique_ptr<QLabel>> labels_;
    std::unique_ptr<viewport::LiveView> live_;
};

struct CameraPanelContext {
    viewport::ViewportProcessor::Detector detect;
    viewport::ViewportProcessor::Dispatcher dispatch;
    viewport::ViewportServices* services = nullptr;
    recognition::RememberedPersons* remembered = nullptr;
    recognition::RecognizedPersonsList* list = nullptr;
    SettingsSaver* saver = nullptr;
    std::function<void()> refreshToolbar;
    std::function<bool()> takeSnapshotRequest;
    std::function<void()> clearSnapshotRequest;
    std::function<void()> listEntryAdded;
    std::function<void()> listChanged;
};

class CameraPanelWidget final : public QWidget, public camera::CameraPanel, public shell::CameraStatusBar {
public:
    // The journal takes the viewport's camera and recognition entries; the hub, which outlives the
    // panel, gets the framed-faces choice.
    CameraPanelWidget(const shell::Journal& journal, settings::SettingsHub& hub, CameraPanelContext context,
                      QWidget* parent);

    ViewportWidget* Viewport() const { return viewport_; }
    StatusParts* Status() const { return status_; }
    QToolButton* FramedFaceButton() const { return framedFace_; }
    ConnectingAnimation* Animation() const { return animation_; }
    QLabel* Title() const { return title_; }
    void SetTitle(const QString& title);
    // "Камера не выбрана" in part 0, without icon.
    void ShowNoCamera();
    // Command 40007: toggles FramedFace, saves it and refreshes the toolbars.
    void ToggleFramedFace();
    void SetFramedFaceChecked(bool checked);

    // Any thread: the management server's state and session count for status-bar part 2.
    void PostServerStatus(ManagementServer server, int sessions);

    // camera::CameraPanel
    void PostShowAnimation() override;
    void ShowCameraStarted() override;
    void HideCameraPicture() override;
    void DiscardSubjects() override;
    void ClearFrameState() override;
    void ShowCameraStopped() override;
    void RefreshToolbar() override;

    // shell::CameraStatusBar
    bool CameraRunning() const override;
    void ShowEvent(const QString& text, shell::StatusIcon icon) override;

protected:
    void resizeEvent(QResizeEvent*) override;

private:
    settings::SettingsHub& hub_;
    CameraPanelContext context_;
    QToolBar* bar_;
    QToolButton* framedFace_;
    ConnectingAnimation* animation_;
    QWidget* line_;
    QLabel* title_;
    ViewportWidget* viewport_;
    StatusParts* status_;
};

}  // namespace ui
