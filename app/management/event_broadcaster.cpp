#include "app/management/event_broadcaster.h"

#include "app/management/face_picture.h"
#include "app/management/image_encoding.h"

#include <array>
#include <optional>

namespace management {

bool EventBroadcaster::SendCameraStateEvent(Session& session, const QString& cameraName, camera::CameraState state,
                                            int operation, WhenQueueFull whenFull) {
    return session.SendTcpPacket(PacketType::_S2C_TCP_EVENT, CameraStateEventText(cameraName, state, operation),
                                 whenFull);
}

void EventBroadcaster::Broadcast(const Filter& takes, const DocumentMaker& document) {
    std::array<std::optional<QString>, 3> texts;
    sessions_.ForEachActiveSession([&](Session& session) {
        const Subscription subscription = session.CurrentSubscription();
        if (!takes(subscription)) return;
        std::optional<QString>& text = texts[size_t(subscription.format)];
        if (!text) text = document(subscription.format);
        // A full ring drops the event for this session only; its server side counts and logs it.
        session.SendTcpPacket(PacketType::_S2C_TCP_EVENT, *text, WhenQueueFull::Drop);
    });
}

void EventBroadcaster::BroadcastCameraState(const QString& cameraName, camera::CameraState state, int operation) {
    Broadcast([](const Subscription& s) { return Subscribed(s, EventType::CameraState); },
              [&](ImageFormat) { return CameraStateEventText(cameraName, state, operation); });
}

void EventBroadcaster::BroadcastFaceDetected(const QString& cameraName, uint32_t subjectId, const cv::Mat& frame,
                                             const recognition::FrameFace& face) {
    std::optional<cv::Mat> picture;  // made for the first session that takes the event
    Broadcast([](const Subscription& s) { return Subscribed(s, EventType::FaceDetected); },
              [&](ImageFormat format) {
                  if (!picture) picture = FacePicture(frame, face);
                  return FaceDetectedEventText(cameraName, subjectId, face, EncodeImage(*picture, format));
              });
}

void EventBroadcaster::BroadcastPersonEvent(EventType type, const QString& cameraName,
                                            const recognition::RecognitionReport& report) {
    const uint32_t listNumber = report.person ? report.person->listNumber : 0;
    Broadcast([&](const Subscription& s) { return Subscribed(s, type) && WatchesList(s, listNumber); },
              [&](ImageFormat format) {
                  const QString image = report.picture ? EncodeImage(*report.picture, format) : QString();
                  return PersonEventText(type, cameraName, report, image);
              });
}

void EventBroadcaster::BroadcastPersonRecognized(const QString& cameraName,
                                                 const recognition::RecognitionReport& report) {
    BroadcastPersonEvent(EventType::PersonRecognized, cameraName, report);
}

void EventBroadcaster::BroadcastPersonUpdated(const QString& cameraName, const recognition::RecognitionReport& report) {
    BroadcastPersonEvent(EventType::PersonUpdated, cameraName, report);
}

void EventBroadcaster::BroadcastPersonChanged(const QString& cameraName, const recognition::PersonChange& change) {
    Broadcast(
        [&](const Subscription& s) {
            return Subscribed(s, EventType::PersonChanged) &&
                   (WatchesList(s, change.newListNumber) || WatchesList(s, change.oldListNumber));
        },
        [&](ImageFormat) { return PersonChangedEventText(cameraName, change); });
}

void EventBroadcaster::BroadcastPresenceEnded(const QString& cameraName, uint32_t subjectId, uint32_t personId,
                                              uint32_t listNumber, double presenceSeconds) {
    Broadcast(
        [&](const Subscription& s) {
            return personId != 0 ? Subscribed(s, EventType::PersonPresenceEnded) && WatchesList(s, listNumber)
                                 : Subscribed(s, EventType::FacePresenceEnded);
        },
        [&](ImageFormat) {
            return PresenceEndedEventText(cameraName, subjectId, personId, listNumber, presenceSeconds);
        });
}

}  // namespace management
