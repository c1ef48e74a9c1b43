#include "velox/script_event.h"

#include "platform/oledate.h"

#include <QDateTime>
#include <QJsonArray>

namespace velox {

namespace L = layout;
using settings::channel::ChannelArea;

namespace {

// Dates outside the range OLE Automation dates can hold (years 100 to 9999) come only from a
// damaged request and read as no date.
constexpr double kFirstOleDate = -657434.0;
constexpr double kLastOleDate = 2958466.0;

QVariant OleToDateTime(double oleDate) {
    if (oleDate == 0 || !(oleDate >= kFirstOleDate && oleDate < kLastOleDate)) return {};
    const platform::LocalTime t = platform::SplitOleDate(oleDate);
    const QDateTime time(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second, t.milliseconds));
    return time.isValid() ? QVariant(time) : QVariant();
}

void ReadRecognized(const ChannelArea& block, ScriptEvent& event) {
    event.personId = block.I32(L::kPersonId);
    event.confidence = block.F64(L::kConfidence);
    event.listNumber = block.I32(L::kListNumber);
    event.surname = block.Text(L::kSurname, L::kNameChars);
    event.forename = block.Text(L::kForename, L::kNameChars);
    event.secondName = block.Text(L::kSecondName, L::kNameChars);
    event.alias = block.Text(L::kAlias, L::kAliasChars);
    event.externalKey = block.Text(L::kExternalKey, L::kExternalKeyChars);
    event.gender = block.I32(L::kGender);
    event.dateOfBirth = block.F64(L::kDateOfBirth);
    event.imageFile = block.Text(L::kImageFile, L::kPathChars);
}

bool ReadUnrecognized(const ChannelArea& block, ScriptEvent& event) {
    event.firstSeen = block.F64(L::kFirstSeen);
    const uint32_t count = block.U32(L::kImageCount);
    if (count > L::kImageEntries) return false;
    for (uint32_t i = 0; i < count; ++i) {
        const size_t rectangle = L::kRectangles + i * L::kRectangleSize;
        event.images.push_back({block.Text(L::kImageFiles + i * L::kPathChars * 2, L::kPathChars), block.I32(rectangle),
                                block.I32(rectangle + 4), block.I32(rectangle + 8), block.I32(rectangle + 12)});
    }
    return true;
}

// "personId" -> "PERSON_ID".
QString EnvironmentName(const QString& key) {
    QString name;
    for (const QChar c : key) {
        if (c.isUpper() && !name.isEmpty()) name += u'_';
        name += c.toUpper();
    }
    return name;
}

QString DateText(const QVariant& value) {
    return value.isNull() ? QString() : value.toDateTime().toString(Qt::ISODateWithMs);
}

}  // namespace

std::optional<ScriptEvent> DecodeRequest(const ChannelArea& block, QString* error) {
    ScriptEvent event;
    const uint32_t type = block.U32(L::kPacketType);
    const uint32_t length = block.U32(L::kDataLength);
    if (block.Size() != L::kBlockSize ||
        !((type == uint32_t(L::PacketType::Recognized) && length == L::kRecognizedSize - 8) ||
          (type == uint32_t(L::PacketType::Unrecognized) && length == L::kUnrecognizedSize - 8))) {
        *error = QStringLiteral("Неверный пакет запроса: тип %1, длина %2").arg(type).arg(length);
        return std::nullopt;
    }
    event.type = L::PacketType(type);
    event.timeout = block.I32(L::kTimeout);
    event.allowUI = block.U32(L::kAllowUI) != 0;
    const uint32_t scriptType = block.U32(L::kScriptType);
    if (scriptType > uint32_t(ScriptType::JScript)) {
        *error = QStringLiteral("Неизвестный тип скрипта: %1").arg(scriptType);
        return std::nullopt;
    }
    event.scriptType = ScriptType(scriptType);
    event.scriptFile = block.Text(L::kScriptFile, L::kScriptFileChars);
    event.eventName = block.Text(L::kEventName, L::kEventNameChars);
    event.eventTime = block.F64(L::kEventTime);
    event.cameraName = block.Text(L::kCameraName, L::kCameraNameChars);
    if (event.type == L::PacketType::Recognized) {
        ReadRecognized(block, event);
    } else if (!ReadUnrecognized(block, event)) {
        *error = QStringLiteral("Неверное число изображений: %1").arg(block.U32(L::kImageCount));
        return std::nullopt;
    }
    return event;
}

QVariantMap EventFields(const ScriptEvent& event) {
    QVariantMap fields{
        {QStringLiteral("eventName"), event.eventName},
        {QStringLiteral("eventTime"), OleToDateTime(event.eventTime)},
        {QStringLiteral("cameraName"), event.cameraName},
        {QStringLiteral("scriptFile"), event.scriptFile},
        {QStringLiteral("scriptType"), int(event.scriptType)},
        {QStringLiteral("timeout"), event.timeout},
        {QStringLiteral("allowUI"), event.allowUI},
    };
    if (event.type == L::PacketType::Recognized) {
        fields.insert({
            {QStringLiteral("personId"), event.personId},
            {QStringLiteral("confidence"), event.confidence},
            {QStringLiteral("listNumber"), event.listNumber},
            {QStringLiteral("surname"), event.surname},
            {QStringLiteral("forename"), event.forename},
            {QStringLiteral("secondName"), event.secondName},
            {QStringLiteral("alias"), event.alias},
            {QStringLiteral("externalKey"), event.externalKey},
            {QStringLiteral("gender"), event.gender},
            {QStringLiteral("dateOfBirth"), OleToDateTime(event.dateOfBirth)},
            {QStringLiteral("imageFile"), event.imageFile},
        });
    } else {
        QVariantList images;
        for (const ScriptImage& image : event.images)
            images.append(QVariantMap{{QStringLiteral("file"), image.file},
                                      {QStringLiteral("x"), image.x},
                                      {QStringLiteral("y"), image.y},
                                      {QStringLiteral("width"), image.width},
                                      {QStringLiteral("height"), image.height}});
        fields.insert(QStringLiteral("firstSeen"), OleToDateTime(event.firstSeen));
        fields.insert(QStringLiteral("images"), images);
    }
    return fields;
}

QJsonObject EventJson(const ScriptEvent& event) {
    QJsonObject json;
    const QVariantMap fields = EventFields(event);
    for (auto field = fields.begin(); field != fields.end(); ++field) {
        if (field.value().typeId() == QMetaType::QDateTime || field.value().isNull())
            json.insert(field.key(), field.value().isNull() ? QJsonValue() : QJsonValue(DateText(field.value())));
        else
            json.insert(field.key(), QJsonValue::fromVariant(field.value()));
    }
    return json;
}

QStringList EventEnvironment(const ScriptEvent& event) {
    QStringList environment;
    const QVariantMap fields = EventFields(event);
    for (auto field = fields.begin(); field != fields.end(); ++field) {
        const QString name = QStringLiteral("OSTROVID_") + EnvironmentName(field.key());
        if (field.key() == u"images") {
            const QVariantList images = field.value().toList();
            environment.append(QStringLiteral("OSTROVID_IMAGE_COUNT=%1").arg(images.size()));
            for (qsizetype i = 0; i < images.size(); ++i) {
                const QVariantMap image = images[i].toMap();
                for (auto part = image.begin(); part != image.end(); ++part)
                    environment.append(QStringLiteral("OSTROVID_IMAGE_%1_%2=%3")
                                           .arg(i)
                                           .arg(part.key().toUpper(), part.value().toString()));
            }
        } else if (field.value().typeId() == QMetaType::QDateTime || field.value().isNull()) {
            environment.append(name + u'=' + DateText(field.value()));
        } else if (field.value().typeId() == QMetaType::Bool) {
            environment.append(name + (field.value().toBool() ? QStringLiteral("=1") : QStringLiteral("=0")));
        } else {
            environment.append(name + u'=' + field.value().toString());
        }
    }
    return environment;
}

}  // namespace velox
