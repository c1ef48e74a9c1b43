#pragma once
// The camera viewport's frame processing, driven by its 30 ms timer: take the newest frame,
// detect and track the faces, hand them to the prediction workers, keep the frame history,
// draw and show the picture, drop vanished subjects, place the labels, and watch for a camera
// that stops delivering. No widget here: the live view forwards its window's timer to Tick(),
// and the window implements ViewportSurface.

#include "app/recognition/frame_history.h"
#include "app/recognition/hang_notice.h"
#include "app/recognition/state_request.h"
#include "app/recognition/subject_tracker.h"
#include "app/shell/journal.h"

#include <opencv2/core/mat.hpp>

#include <functional>
#include <span>
#include <vector>

namespace camera {
struct CameraWork;
}

namespace viewport {

// What the frame processing asks of the window that shows the camera's picture.
class ViewportSurface {
public:
    virtual ~ViewportSurface() = default;
    // Part 1 of the camera panel's status bar: the number of faces.
    virtual void ShowFaceCount(int faces) = 0;
    // The frame size changed: lay the viewport out again, which fixes the displayed size.
    virtual void LayOutAgain(int frameColumns, int frameRows) = 0;
    virtual cv::Size DisplayedSize() const = 0;
    // The picture window "OstrovidWorkCamera": shows the picture (already at the displayed
    // size), hides the connecting animation and shows itself if hidden.
    virtual void ShowPicture(const cv::Mat& picture) = 0;
    virtual void ShowConnectingAnimation() = 0;
    // Labels: screen position of the picture window's top-left corner, and the tooltip moves.
    virtual recognition::LabelPoint PictureOrigin() const = 0;
    virtual void MoveLabel(uint32_t subjectId, recognition::LabelPoint position) = 0;
    virtual void SetLabelVisible(uint32_t subjectId, bool visible) = 0;
};

// The camera journal entries and the management events of the frame processing.
class ViewportEvents : public recognition::TrackingEvents {
public:
    // For the management clients: operation 5, the camera works again after a hang notice;
    // operation 4, it seems hung. The state is WORKS in both.
    virtual void BroadcastCameraState(int operation) = 0;
    // True when an unrecognized subject's leaving would now lead to actions, the only readers of
    // the frame history's pictures.
    virtual bool UnrecognizedActionsWanted() const = 0;
    // The snapshot panel's request: true once when the operator asked for a snapshot.
    virtual bool TakeSnapshotRequest() = 0;
    // Adds the frame's faces to the snapshot panel (after the snapshot sound).
    virtual void AddSnapshotFaces(const cv::Mat& frame, std::span<const recognition::FrameFace> faces) = 0;
};

// Where a subject's label goes on the screen: just above its face on the picture window.
recognition::LabelPoint LabelPosition(recognition::LabelPoint pictureOrigin, const recognition::ScreenRect& face);

struct ViewportSettings {
    int maxSubject = 8;
    bool shortInvisibility = false;
    bool framedFace = true;
    int32_t waitConnectionTime = 60;
};

class ViewportProcessor {
public:
    using Detector = std::function<std::vector<recognition::FrameFace>(const cv::Mat& frame, int maxSubject)>;
    using Dispatcher =
        std::function<void(const cv::Mat& frame, std::span<recognition::DispatchSubject* const> subjects, double now)>;
    // Clock: the OLE date for "now" and seconds since 1970 for the hang check.
    struct Clock {
        std::function<double()> oleNow;
        std::function<int64_t()> unixNow;
    };

    // The journal takes the camera entries of a hang notice.
    ViewportProcessor(camera::CameraWork& work, ViewportSurface& surface, ViewportEvents& events,
                      const shell::Journal& journal, Detector detect, Dispatcher dispatch, Clock clock);

    // One timer tick. `running` is false while no capture thread exists.
    void Tick(bool running, const ViewportSettings& settings);

    // WMU_STATE_REQUEST: fills the request from the running camera and its subjects, then
    // sets its event. `now` is the OLE date the subjects' ages are measured to.
    void AnswerStateRequest(recognition::CameraStateRequest& request, bool running, double now) const;

    // The camera stopped: subjects, faces of the history, the face count and the hang notice go.
    void Reset();

    recognition::SubjectTracker& Tracker() { return tracker_; }
    const recognition::FrameHistory& History() const { return history_; }
    bool HangNoticeActive() const { return hang_.Active(); }

private:
    // Takes the new frame under the stream's frame lock; false when there is none.
    bool TakeFrame(cv::Mat& frame, int32_t& opened, int64_t& lastActivity);
    void Show(cv::Mat& frame, std::span<const recognition::FrameFace> faces, bool sizeChanged,
              const ViewportSettings& settings);
    void PlaceLabels();
    void RaiseHangNotice();
    void EndHangNotice();

    camera::CameraWork& work_;
    ViewportSurface& surface_;
    ViewportEvents& events_;
    const shell::Journal& journal_;
    Detector detect_;
    Dispatcher dispatch_;
    Clock clock_;
    recognition::SubjectTracker tracker_;
    recognition::FrameHistory history_;
    recognition::HangNotice hang_;
    cv::Size frameSize_;
    int lastFaceCount_ = -1;
};

}  // namespace viewport
