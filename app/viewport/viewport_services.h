#pragma once
// What the camera viewport hands on beyond the windows: the management events and the alerts
// and actions of recognized and unrecognized persons, and the snapshot panel's faces. Every
// call is made on the user-interface thread; the default does nothing, so a program without
// management server or actions still tracks and labels faces.

#include "app/recognition/frame_history.h"
#include "app/recognition/recognition_events.h"
#include "app/recognition/subject_tracker.h"

#include <opencv2/core/mat.hpp>

#include <span>

namespace viewport {

class ViewportServices {
public:
    virtual ~ViewportServices() = default;
    virtual void FaceDetected(const recognition::Subject& /*subject*/, const cv::Mat& /*frame*/) {}
    // The history holds the last seconds of the camera's frames with the subject's rectangles.
    virtual void UnrecognizedSubjectVanished(const recognition::Subject& /*subject*/, double /*now*/,
                                             const recognition::FrameHistory& /*history*/) {}
    // Whether UnrecognizedSubjectVanished would now read the history's pictures.
    virtual bool UnrecognizedActionsWanted() const { return false; }
    virtual void PresenceEnded(const recognition::Subject& /*subject*/, double /*presenceSeconds*/) {}
    // Operation 4 "seems hung" or 5 "works again".
    virtual void BroadcastCameraState(int /*operation*/) {}
    virtual void PersonRecognized(const recognition::RecognitionReport& /*report*/) {}
    virtual void PersonUpdated(const recognition::RecognitionReport& /*report*/) {}
    virtual void PersonChanged(const recognition::PersonChange& /*change*/) {}
    virtual void DoRecognizedPersonAlertsAndActions(const recognition::RecognizedPersonInfo& /*info*/) {}
    virtual void AddSnapshotFaces(const cv::Mat& /*frame*/, std::span<const recognition::FrameFace> /*faces*/) {}
};

}  // namespace viewport
