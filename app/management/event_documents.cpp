#include "app/management/event_documents.h"

#include "app/management/xml_documents.h"
#include "platform/fixedtext.h"

#include <QDomDocument>

namespace management {

namespace {

// Root, Type and Camera: the start of every event document.
class EventDocument {
public:
    explicit EventDocument(EventType type) : document_(NewOutgoingDocument()) {
        root_ = document_.createElement(QStringLiteral("OstrovidEvent"));
        document_.appendChild(root_);
        AppendTextElement(root_, QStringLiteral("Type"), QString::number(int(type)));
        camera_ = document_.createElement(QStringLiteral("Camera"));
        camera_.setAttribute(QStringLiteral("Number"), QStringLiteral("0"));
        root_.appendChild(camera_);
    }

    // Every type but the camera state names the camera in an attribute.
    EventDocument(EventType type, const QString& cameraName) : EventDocument(type) {
        camera_.setAttribute(QStringLiteral("Name"), cameraName);
    }

    QDomElement& Root() { return root_; }
    QDomElement& Camera() { return camera_; }
    QDomElement AppendElement(const QString& name) {
        QDomElement element = document_.createElement(name);
        root_.appendChild(element);
        return element;
    }
    void AppendImage(const QString& image) {
        if (!image.isEmpty()) AppendTextElement(root_, QStringLiteral("Image"), image);
    }
    QString Text() const { return DocumentText(document_); }

private:
    QDomDocument document_;
    QDomElement root_;
    QDomElement camera_;
};

void SetPersonIdentity(QDomElement& element, uint32_t personId, double confidence, uint32_t listNumber) {
    element.setAttribute(QStringLiteral("ID"), QString::number(personId));
    element.setAttribute(QStringLiteral("Confidence"), FixedPoint(confidence, 3));
    element.setAttribute(QStringLiteral("ListNum"), QString::number(listNumber));
}

uint32_t EventBit(EventType type) { return 1u << (int(type) - 1); }

}  // namespace

bool Subscribed(const Subscription& subscription, EventType type) {
    return (subscription.eventMask & EventBit(type)) != 0;
}

bool WatchesList(const Subscription& subscription, uint32_t listNumber) {
    return listNumber < 3 && (subscription.listMask & (1u << listNumber)) != 0;
}

QString CameraStateEventText(const QString& cameraName, camera::CameraState state, int operation) {
    EventDocument event(EventType::CameraState);
    AppendTextElement(event.Camera(), QStringLiteral("Name"), cameraName);
    AppendTextElement(event.Camera(), QStringLiteral("State"),
                      state == camera::CameraState::Works ? QStringLiteral("WORKS") : QStringLiteral("IDDLE"));
    AppendTextElement(event.Camera(), QStringLiteral("Operation"), QString::number(operation));
    return event.Text();
}

QString FaceDetectedEventText(const QString& cameraName, uint32_t subjectId, const recognition::FrameFace& face,
                              const QString& image) {
    EventDocument event(EventType::FaceDetected, cameraName);
    QDomElement rect = event.AppendElement(QStringLiteral("Rect"));
    rect.setAttribute(QStringLiteral("X"), QString::number(face.x));
    rect.setAttribute(QStringLiteral("Y"), QString::number(face.y));
    rect.setAttribute(QStringLiteral("W"), QString::number(face.width));
    rect.setAttribute(QStringLiteral("H"), QString::number(face.height));
    AppendTextElement(event.Root(), QStringLiteral("KeyNumber"), QString::number(subjectId));
    event.AppendImage(image);
    return event.Text();
}

QString PersonEventText(EventType type, const QString& cameraName, const recognition::RecognitionReport& report,
                        const QString& image) {
    static const recognition::PersonFields kNoFields;
    const recognition::PersonFields& fields = report.person ? *report.person : kNoFields;
    EventDocument event(type, cameraName);
    AppendTextElement(event.Root(), QStringLiteral("KeyNumber"), QString::number(report.subjectId));
    QDomElement person = event.AppendElement(QStringLiteral("Person"));
    SetPersonIdentity(person, report.personId, report.confidence, fields.listNumber);
    person.setAttribute(QStringLiteral("Surname"), platform::FromFixed(fields.surname));
    person.setAttribute(QStringLiteral("Forename"), platform::FromFixed(fields.forename));
    person.setAttribute(QStringLiteral("Secondname"), platform::FromFixed(fields.secondName));
    person.setAttribute(QStringLiteral("Alias"), platform::FromFixed(fields.alias));
    person.setAttribute(QStringLiteral("ExtKey"), platform::FromFixed(fields.externalKey));
    person.setAttribute(QStringLiteral("Gender"), QString::number(fields.gender));
    // An unrecorded date of birth is 0 and so reads "0.000".
    person.setAttribute(QStringLiteral("DateOfBirth"), FixedPoint(fields.dateOfBirth, 3));
    person.setAttribute(QStringLiteral("RepeatCount"), QString::number(report.sureHits));
    event.AppendImage(image);
    return event.Text();
}

QString PersonChangedEventText(const QString& cameraName, const recognition::PersonChange& change) {
    EventDocument event(EventType::PersonChanged, cameraName);
    AppendTextElement(event.Root(), QStringLiteral("KeyNumber"), QString::number(change.subjectId));
    QDomElement person = event.AppendElement(QStringLiteral("Person"));
    SetPersonIdentity(person, change.newPersonId, change.newConfidence, change.newListNumber);
    QDomElement old = event.AppendElement(QStringLiteral("OldPerson"));
    SetPersonIdentity(old, change.oldPersonId, change.oldConfidence, change.oldListNumber);
    return event.Text();
}

QString PresenceEndedEventText(const QString& cameraName, uint32_t subjectId, uint32_t personId, uint32_t listNumber,
                               double presenceSeconds) {
    const bool person = personId != 0;
    EventDocument event(person ? EventType::PersonPresenceEnded : EventType::FacePresenceEnded, cameraName);
    AppendTextElement(event.Root(), QStringLiteral("KeyNumber"), QString::number(subjectId));
    if (person) {
        QDomElement element = event.AppendElement(QStringLiteral("Person"));
        element.setAttribute(QStringLiteral("ID"), QString::number(personId));
        element.setAttribute(QStringLiteral("ListNum"), QString::number(listNumber));
        element.setAttribute(QStringLiteral("PresenceSeconds"), FixedPoint(presenceSeconds, 3));
    } else {
        AppendTextElement(event.Root(), QStringLiteral("PresenceSeconds"), FixedPoint(presenceSeconds, 3));
    }
    return event.Text();
}

}  // namespace management
