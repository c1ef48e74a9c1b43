#pragma once
// Purpose: the events the program raises, sent to every session subscribed to them. A session
//          whose send ring is full loses the event; no broadcasting thread ever waits on a client.
// Threads: the broadcasts run on the thread that raises the event (user-interface thread, capture
//          thread), several at a time; the session table's walk serialises them.
// Owns: nothing; the server owns the table.

#include "app/camera/camera_work.h"
#include "app/management/event_documents.h"
#include "app/management/session_link.h"
#include "app/recognition/frame_face.h"
#include "app/recognition/recognition_events.h"

#include <opencv2/core/mat.hpp>

#include <QString>

#include <cstdint>
#include <functional>

namespace management {

class EventBroadcaster {
public:
    explicit EventBroadcaster(SessionTable& sessions) : sessions_(sessions) {}

    // One camera-state event to one session (a new subscriber gets the state at once).
    static bool SendCameraStateEvent(Session& session, const QString& cameraName, camera::CameraState state,
                                     int operation, WhenQueueFull whenFull);

    void BroadcastCameraState(const QString& cameraName, camera::CameraState state, int operation);
    // A face that matches no subject became the subject `subjectId`.
    void BroadcastFaceDetected(const QString& cameraName, uint32_t subjectId, const cv::Mat& frame,
                               const recognition::FrameFace& face);
    void BroadcastPersonRecognized(const QString& cameraName, const recognition::RecognitionReport& report);
    void BroadcastPersonUpdated(const QString& cameraName, const recognition::RecognitionReport& report);
    void BroadcastPersonChanged(const QString& cameraName, const recognition::PersonChange& change);
    // personId 0: an unrecognized face's presence ended.
    void BroadcastPresenceEnded(const QString& cameraName, uint32_t subjectId, uint32_t personId, uint32_t listNumber,
                                double presenceSeconds);

private:
    using Filter = std::function<bool(const Subscription&)>;
    // The event's document in a session's picture format.
    using DocumentMaker = std::function<QString(ImageFormat)>;

    // Queues the document to every session the filter takes, making it at most once per format.
    void Broadcast(const Filter& takes, const DocumentMaker& document);
    void BroadcastPersonEvent(EventType type, const QString& cameraName, const recognition::RecognitionReport& report);

    SessionTable& sessions_;
};

}  // namespace management
