#include "app/actions/message_templates.h"

#include "app/actions/template_expansion.h"
#include "app/actions/template_values.h"
#include "app/actions/template_vocabulary.h"
#include "platform/fixedtext.h"

#include <functional>
#include <vector>

namespace actions {

namespace {

using ValueOf = std::function<QString(Placeholder)>;

// Fills the family's params in their order and expands the text with them.
std::optional<QString> ExpandFamily(QStringView text, TemplateFamily family, const ValueOf& valueOf) {
    return GuardedAgainstOutOfMemory([&]() -> std::optional<QString> {
        std::vector<TemplateParam> params;
        const std::span<const Placeholder> placeholders = FamilyPlaceholders(family);
        params.reserve(placeholders.size());
        for (Placeholder placeholder : placeholders)
            params.push_back({PlaceholderToken(placeholder), valueOf(placeholder)});
        return ExpandTemplate(text, params);
    });
}

// The values that come from the person alone, shared by mail and speech.
QString PersonValue(Placeholder placeholder, const RecognizedPersonInfo& info) {
    const recognition::PersonFields& person = info.person;
    switch (placeholder) {
    case Placeholder::FullName:
        return FullNameText(person);
    case Placeholder::Surname:
        return platform::FromFixed(person.surname);
    case Placeholder::Forename:
        return platform::FromFixed(person.forename);
    case Placeholder::SecondName:
        return platform::FromFixed(person.secondName);
    case Placeholder::Alias:
        return platform::FromFixed(person.alias);
    case Placeholder::ExternalKey:
        return platform::FromFixed(person.externalKey);
    case Placeholder::ListWord:
        return ListWord(person.listNumber);
    case Placeholder::Gender:
        return GenderWord(person.gender);
    default:
        return {};
    }
}

// Date, time, computer and camera: the event's own values, shared by both mail families.
QString EventValue(Placeholder placeholder, double eventTime, QStringView cameraName) {
    switch (placeholder) {
    case Placeholder::Date:
        return DateText(eventTime);
    case Placeholder::TimeOfDay:
        return TimeOfDayText(eventTime);
    case Placeholder::ComputerName:
        return ComputerNameAtStartup();
    case Placeholder::CameraName:
        return cameraName.toString();
    default:
        return {};
    }
}

}  // namespace

std::optional<QString> ExpandRecognizedMailTemplate(QStringView text, const RecognizedPersonInfo& person,
                                                    double eventTime, QStringView cameraName) {
    return ExpandFamily(text, TemplateFamily::RecognizedMail, [&](Placeholder placeholder) {
        switch (placeholder) {
        case Placeholder::Date:
        case Placeholder::TimeOfDay:
        case Placeholder::ComputerName:
        case Placeholder::CameraName:
            return EventValue(placeholder, eventTime, cameraName);
        case Placeholder::Confidence:
            return ConfidenceValueText(person.distance, DecimalSeparator::Point);
        case Placeholder::DateOfBirth:
            return MailBirthDateText(person.person.dateOfBirth);
        default:
            return PersonValue(placeholder, person);
        }
    });
}

std::optional<QString> ExpandUnrecognizedMailTemplate(QStringView text, double eventTime, QStringView cameraName,
                                                      platform::OleDays presence) {
    return ExpandFamily(text, TemplateFamily::UnrecognizedMail, [&](Placeholder placeholder) {
        return placeholder == Placeholder::Presence ? PresenceText(presence)
                                                    : EventValue(placeholder, eventTime, cameraName);
    });
}

std::optional<QString> ExpandSpeechTemplate(QStringView text, const RecognizedPersonInfo* person) {
    return ExpandFamily(text, TemplateFamily::Speech, [&](Placeholder placeholder) {
        if (!person) return SpeechPreviewSample(placeholder).toString();
        switch (placeholder) {
        case Placeholder::Confidence:
            return ConfidenceValueText(person->distance, DecimalSeparator::Comma);
        case Placeholder::DateOfBirth:
            return SpeechBirthDateText(person->person.dateOfBirth);
        default:
            return PersonValue(placeholder, *person);
        }
    });
}

}  // namespace actions
