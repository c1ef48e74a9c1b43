#pragma once
// Purpose: the documents of the seven event types the subscribed clients get, and which
//          subscriptions take each of them.
// Threads: any thread.
// Owns: nothing.

#include "app/camera/camera_work.h"
#include "app/management/session_link.h"
#include "app/recognition/frame_face.h"
#include "app/recognition/recognition_events.h"

#include <QString>

#include <cstdint>

namespace management {

enum class EventType : int {
    CameraState = 1,
    FaceDetected = 2,
    PersonRecognized = 3,
    PersonUpdated = 4,
    PersonChanged = 5,
    PersonPresenceEnded = 6,
    FacePresenceEnded = 7,
};

// Whether the subscription takes the event type at all.
bool Subscribed(const Subscription& subscription, EventType type);
// Whether the subscription's ListMask takes the watch list (0 green, 1 red, 2 gray).
bool WatchesList(const Subscription& subscription, uint32_t listNumber);

// The document texts; `image` is the Base64 picture, left out when empty.
QString CameraStateEventText(const QString& cameraName, camera::CameraState state, int operation);
QString FaceDetectedEventText(const QString& cameraName, uint32_t subjectId, const recognition::FrameFace& face,
                              const QString& image);
// Type PersonRecognized or PersonUpdated.
QString PersonEventText(EventType type, const QString& cameraName, const recognition::RecognitionReport& report,
                        const QString& image);
QString PersonChangedEventText(const QString& cameraName, const recognition::PersonChange& change);
// Type PersonPresenceEnded for a person (personId not 0), else FacePresenceEnded.
QString PresenceEndedEventText(const QString& cameraName, uint32_t subjectId, uint32_t personId, uint32_t listNumber,
                               double presenceSeconds);

}  // namespace management
