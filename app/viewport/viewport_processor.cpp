#include "app/viewport/viewport_processor.h"

#include "app/camera/camera_work.h"
#include "app/recognition/face_drawing.h"
#include "app/recognition/matching.h"
#include "platform/fixedtext.h"
#include "platform/log.h"
#include "platform/oledate.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <QString>
#include <algorithm>
#include <chrono>

namespace viewport {

recognition::LabelPoint LabelPosition(recognition::LabelPoint pictureOrigin, const recognition::ScreenRect& face) {
    return {pictureOrigin.x + face.left, pictureOrigin.y - recognition::kLabelRise + face.top};
}

ViewportProcessor::ViewportProcessor(camera::CameraWork& work, ViewportSurface& surface, ViewportEvents& events,
                                     const shell::Journal& journal, Detector detect, Dispatcher dispatch, Clock clock)
    : work_(work),
      surface_(surface),
      events_(events),
      journal_(journal),
      detect_(std::move(detect)),
      dispatch_(std::move(dispatch)),
      clock_(std::move(clock)),
      tracker_(events),
      hang_(work.hangNotice) {}

bool ViewportProcessor::TakeFrame(cv::Mat& frame, int32_t& opened, int64_t& lastActivity) {
    {
        // The capture thread writes these under the camera lock.
        platform::CriticalSectionLock lock(camera::CameraWorkLock());
        opened = work_.opened;
        lastActivity = work_.lastActivity;
    }
    bool newFrame = false;
    {
        std::lock_guard<platform::CriticalSection> lock(work_.pCvSream->frameLock);
        newFrame = work_.pCvSream->newFrameEvent.Wait(0);
        if (newFrame && !work_.pCvSream->frame.empty()) work_.pCvSream->frame.copyTo(frame);
    }
    if (newFrame) {
        if (!work_.lastFrame) work_.lastFrame = std::make_unique<cv::Mat>();
        frame.copyTo(*work_.lastFrame);
    }
    return newFrame && !frame.empty();
}

void ViewportProcessor::Tick(bool running, const ViewportSettings& settings) {
    if (!running || !work_.pCvSream) return;
    cv::Mat frame;
    int32_t opened = 0;
    int64_t lastActivity = 0;
    if (!TakeFrame(frame, opened, lastActivity)) {
        if (hang_.Check(lastActivity, opened != 0, clock_.unixNow(), settings.waitConnectionTime)) RaiseHangNotice();
        return;
    }
    const double now = clock_.oleNow();

    const bool sizeChanged = frame.size() != frameSize_;
    if (sizeChanged) frameSize_ = frame.size();

    const std::vector<recognition::FrameFace> faces = detect_(frame, settings.maxSubject);
    if (int(faces.size()) != lastFaceCount_) {
        lastFaceCount_ = int(faces.size());
        work_.lastFaceCount = lastFaceCount_;
        surface_.ShowFaceCount(lastFaceCount_);
    }
    if (events_.TakeSnapshotRequest() && !faces.empty()) events_.AddSnapshotFaces(frame, faces);

    const cv::Size shown = sizeChanged ? frameSize_ : surface_.DisplayedSize();
    tracker_.Track(faces, frame, now, {frameSize_.width, frameSize_.height, shown.width, shown.height});
    if (!faces.empty()) {
        const std::vector<recognition::DispatchSubject*> subjects = tracker_.SubjectsInFaceOrder();
        dispatch_(frame, subjects, now);
    }
    if (history_.Due(now)) {
        history_.Push(frame, now, tracker_, !faces.empty(),
                      events_.UnrecognizedActionsWanted() ? recognition::HistoryPictures::Wanted
                                                          : recognition::HistoryPictures::NotWanted);
        work_.lastHistoryTime = now;
    }
    Show(frame, faces, sizeChanged, settings);
    tracker_.RemoveVanished(now, settings.shortInvisibility);
    PlaceLabels();

    if (hang_.EndOnFrame()) EndHangNotice();
}

namespace {
constexpr int kOperationWorksAgain = 5;
constexpr int kOperationSeemsHung = 4;
}  // namespace

// The camera name is copied: the next start overwrites the record while the entry may still wait
// in the queue.
void ViewportProcessor::RaiseHangNotice() {
    journal_.PostCamera(shell::CameraIcon::Warning, QStringLiteral("Возможно камера \"висит\""),
                        platform::FromFixed(work_.descriptor.Name), shell::StatusBar::Show, shell::StatusIcon::Warning);
    WriteLog(QStringLiteral("Возможно камера \"висит\""));
    events_.BroadcastCameraState(kOperationSeemsHung);
    surface_.ShowConnectingAnimation();
}

void ViewportProcessor::EndHangNotice() {
    journal_.PostCamera(shell::CameraIcon::Info, QStringLiteral("Камера работает"),
                        platform::FromFixed(work_.descriptor.Name), shell::StatusBar::Show, shell::StatusIcon::Working);
    WriteLog(QStringLiteral("Камера снова работает"));
    events_.BroadcastCameraState(kOperationWorksAgain);
}

void ViewportProcessor::Show(cv::Mat& frame, std::span<const recognition::FrameFace> faces, bool sizeChanged,
                             const ViewportSettings& settings) {
    if (settings.framedFace) recognition::DrawFaceFrames(frame, faces, tracker_);
    if (sizeChanged) {
        surface_.LayOutAgain(frameSize_.width, frameSize_.height);
        // The layout fixed the displayed size: place this frame's subjects on it.
        const cv::Size shown = surface_.DisplayedSize();
        for (const auto& subject : tracker_.Subjects())
            subject->screen = recognition::ToScreen(subject->rectangle,
                                                    {frameSize_.width, frameSize_.height, shown.width, shown.height});
    }
    const cv::Size shown = surface_.DisplayedSize();
    if (shown == frame.size() || shown.width <= 0 || shown.height <= 0) {
        surface_.ShowPicture(frame);
        return;
    }
    cv::Mat resized;
    cv::resize(frame, resized, shown, 0, 0, cv::INTER_LINEAR);
    surface_.ShowPicture(resized);
}

void ViewportProcessor::PlaceLabels() {
    const recognition::LabelPoint origin = surface_.PictureOrigin();
    for (const auto& subject : tracker_.Subjects()) {
        if (!subject->hasLabel) continue;
        const recognition::LabelPoint position = LabelPosition(origin, subject->screen);
        if (subject->MoveLabel(position)) surface_.MoveLabel(subject->id, position);
        if (subject->HasFace() != subject->labelShown) {
            subject->labelShown = subject->HasFace();
            surface_.SetLabelVisible(subject->id, subject->labelShown);
        }
    }
}

void ViewportProcessor::AnswerStateRequest(recognition::CameraStateRequest& request, bool running, double now) const {
    if (running) {
        request.cameraRunning = 1;
        request.cameraType = work_.descriptor.Type;
        std::copy(std::begin(work_.descriptor.Name), std::end(work_.descriptor.Name), std::begin(request.cameraName));
        if (work_.lastFrame && !work_.lastFrame->empty()) {
            request.frameWidth = work_.lastFrame->cols;
            request.frameHeight = work_.lastFrame->rows;
            if (request.flags & recognition::CameraStateRequest::kWantPicture) {
                // The client sees the scene as the camera does, not mirrored for the operator.
                if (work_.descriptor.Mirroring)
                    cv::flip(*work_.lastFrame, request.picture, 1);
                else
                    work_.lastFrame->copyTo(request.picture);
            }
        }
        if (request.flags & recognition::CameraStateRequest::kWantSubjects) {
            for (const auto& subject : tracker_.Subjects()) {
                if (subject->sureHits == 0) continue;
                recognition::SubjectStateRecord record;
                const std::chrono::duration<double, std::milli> sinceSeen = platform::OleSpan(subject->lastSeen, now);
                record.millisecondsSinceSeen = uint32_t(std::max(0.0, sinceSeen.count()));
                record.sureHits = subject->sureHits;
                record.personId = subject->personId;
                record.confidence = recognition::Confidence(subject->bestDistance);
                record.person = subject->person;
                subject->picture.copyTo(record.picture);
                request.subjects.push_back(std::move(record));
            }
        }
    }
    request.completed.Set();
}

void ViewportProcessor::Reset() {
    hang_.Clear();
    tracker_.Clear();
    history_.Clear();
    lastFaceCount_ = -1;
    frameSize_ = {};
}

}  // namespace viewport
