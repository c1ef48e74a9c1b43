#include "app/management/camera_info.h"

#include "app/management/image_encoding.h"
#include "app/management/xml_documents.h"
#include "platform/fixedtext.h"
#include "platform/oledate.h"

namespace management {

namespace {

using recognition::CameraStateRequest;

constexpr uint32_t kAllServiceBits = CameraStateRequest::kWantPicture | CameraStateRequest::kWantSubjects;
// OLE date after 9999-12-31: no date of birth.
constexpr double kLastOleDate = 2958466;

void AppendImage(QDomElement& parent, const cv::Mat& picture, ImageFormat format) {
    const QString text = EncodeImage(picture, format);
    if (!text.isEmpty()) AppendTextElement(parent, QStringLiteral("Image"), text);
}

QString DateOfBirthText(double dateOfBirth) {
    const platform::LocalTime date = platform::SplitOleDate(dateOfBirth);
    return QString::asprintf("%d-%02d-%02d", date.year, date.month, date.day);
}

void AppendPerson(QDomElement& list, const recognition::SubjectStateRecord& subject, ImageFormat format) {
    QDomElement person = list.ownerDocument().createElement(QStringLiteral("Person"));
    const recognition::PersonFields& fields = subject.person;
    AppendTextElement(person, QStringLiteral("LastPresenceAge"), QString::number(subject.millisecondsSinceSeen));
    AppendTextElement(person, QStringLiteral("RecognitionCount"), QString::number(subject.sureHits));
    AppendTextElement(person, QStringLiteral("PersonID"), QString::number(subject.personId));
    AppendTextElement(person, QStringLiteral("ConfidencePercent"), FixedPoint(subject.confidence, 1));
    AppendTextElement(person, QStringLiteral("ListNum"), QString::number(fields.listNumber));
    AppendTextElement(person, QStringLiteral("Surname"), platform::FromFixed(fields.surname));
    AppendTextElement(person, QStringLiteral("Forename"), platform::FromFixed(fields.forename));
    AppendTextElement(person, QStringLiteral("Secondname"), platform::FromFixed(fields.secondName));
    AppendTextElement(person, QStringLiteral("Alias"), platform::FromFixed(fields.alias));
    AppendTextElement(person, QStringLiteral("ExtKey"), platform::FromFixed(fields.externalKey));
    AppendTextElement(person, QStringLiteral("Gender"), QString::number(fields.gender));
    if (fields.dateOfBirth > 0 && fields.dateOfBirth < kLastOleDate)
        AppendTextElement(person, QStringLiteral("DateOfBirth"), DateOfBirthText(fields.dateOfBirth));
    AppendImage(person, subject.picture, format);
    list.appendChild(person);
}

}  // namespace

CameraInfoQuery ReadCameraInfoQuery(const QDomElement& root) {
    CameraInfoQuery query;
    const QDomElement type = root.firstChildElement(QStringLiteral("Type"));
    if (type.isNull()) {
        query.error = {2, QStringLiteral("Неправильная структура XML запроса. Отсутствует тег <Type>.")};
        return query;
    }
    if (type.text() != QStringLiteral("CameraInfo")) {
        query.error = {3, QStringLiteral("Неподдерживаемый тип запроса")};
        return query;
    }
    const std::optional<QString> service = AttributeIgnoringCase(type, QStringLiteral("ServiceType"));
    const std::optional<uint32_t> serviceBits = service ? ParseNumber(*service, NumberForm::Decimal) : std::nullopt;
    if (!serviceBits || (*serviceBits & kAllServiceBits) == 0) {
        query.error = {3, QStringLiteral("Неверно задан параметр запрашиваемого сервиса (ServiceType)")};
        return query;
    }
    query.flags = *serviceBits & kAllServiceBits;
    if (const std::optional<QString> format = AttributeIgnoringCase(type, QStringLiteral("PreferredImgFormat"))) {
        const std::optional<uint32_t> number = ParseNumber(*format, NumberForm::Decimal);
        const std::optional<ImageFormat> chosen = number ? ImageFormatFromNumber(*number) : std::nullopt;
        if (!chosen) {
            query.error = {3, QStringLiteral("Неверно задан формат графических файлов (PreferredImgFormat)")};
            return query;
        }
        query.format = *chosen;
    }
    return query;
}

void AppendCameraInfo(QDomElement& root, const CameraStateRequest& answer, const CameraInfoQuery& query) {
    QDomElement camera = root.ownerDocument().createElement(QStringLiteral("Camera"));
    root.appendChild(camera);
    const bool works = answer.cameraRunning != 0;
    camera.setAttribute(QStringLiteral("Works"), works ? QStringLiteral("1") : QStringLiteral("0"));
    if (!works) return;
    camera.setAttribute(QStringLiteral("Type"), QString::number(answer.cameraType));
    camera.setAttribute(QStringLiteral("Name"), platform::FromFixed(answer.cameraName));
    camera.setAttribute(QStringLiteral("HRes"), QString::number(answer.frameWidth));
    camera.setAttribute(QStringLiteral("VRes"), QString::number(answer.frameHeight));
    const bool hasFrame = answer.frameWidth > 0 && answer.frameHeight > 0;
    if ((query.flags & CameraStateRequest::kWantPicture) && hasFrame) AppendImage(camera, answer.picture, query.format);

    if (!(query.flags & CameraStateRequest::kWantSubjects) || !hasFrame) return;
    QDomElement list;
    for (const recognition::SubjectStateRecord& subject : answer.subjects) {
        if (subject.sureHits == 0) continue;
        if (list.isNull()) {
            list = root.ownerDocument().createElement(QStringLiteral("CurrentPersonList"));
            root.appendChild(list);
        }
        AppendPerson(list, subject, query.format);
    }
}

}  // namespace management
