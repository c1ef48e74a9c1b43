#include "app/recognition/recognition_events.h"

#include "app/recognition/matching.h"
#include "platform/fixedtext.h"
#include "platform/log.h"

#include <algorithm>
#include <new>

namespace recognition {

namespace {

// " FORENAME" and " SECONDNAME" for those that are not empty.
QString WithGivenNames(const PersonFields& person) {
    QString text = platform::FromFixed(person.surname);
    for (const QString& name : {platform::FromFixed(person.forename), platform::FromFixed(person.secondName)})
        if (!name.isEmpty()) text += QLatin1Char(' ') + name;
    return text;
}

QString JournalDescription(float distance, const PersonFields& person) {
    QString text = ConfidenceText(distance) + QStringLiteral(" - ") + WithGivenNames(person);
    const QString alias = platform::FromFixed(person.alias);
    if (!alias.isEmpty()) text += QStringLiteral(" (") + alias + QLatin1Char(')');
    return text;
}

}  // namespace

QString SubjectLabelText(float bestDistance, const PersonFields& person) {
    QString text = ConfidenceText(bestDistance) + QLatin1Char(' ');
    const QString alias = platform::FromFixed(person.alias);
    return alias.isEmpty() ? text + WithGivenNames(person) : text + QStringLiteral("  ") + alias;
}

void RecognitionEvents::Handle(std::unique_ptr<RecognizedData> result, const RecognitionRules& rules, double now,
                               const QString& cameraName) {
    const bool sure = rules.assuranceDistance / 100.0 >= double(result->distance);
    Subject* subject = tracker_.Find(result->subjectId);
    if (!subject) {
        HandleForVanishedSubject(*result, rules, sure, now, cameraName);
        return;
    }

    bool changed = false;
    if (subject->personId == result->personId && subject->person == result->person) {
        if (result->distance < subject->bestDistance) {
            subject->bestDistance = result->distance;
            if (result->picture) subject->picture = std::move(*result->picture);
            changed = true;
        }
    } else {
        if (subject->personId != 0 && subject->recognized) {
            outputs_.PersonChanged({subject->id, result->personId, result->person.listNumber,
                                    Confidence(result->distance), subject->personId, subject->person.listNumber,
                                    Confidence(subject->bestDistance)});
        }
        TakeIdentity(*subject, *result);
        changed = true;
    }
    if (sure) ++subject->sureHits;

    if (changed) subject->labelText = SubjectLabelText(subject->bestDistance, subject->person);
    outputs_.UpdateLabel(*subject);
    subject->hasLabel = true;
    if (subject->HasFace() && !subject->labelShown) {
        subject->labelShown = true;
        outputs_.ShowLabel(*subject);
    }

    if (!subject->recognized) {
        if (subject->sureHits < rules.repeatForRecognition) return;
        subject->recognized = true;
        outputs_.PersonRecognized({subject->id, Confidence(subject->bestDistance), subject->personId, &subject->person,
                                   &subject->picture, subject->sureHits});
        if (!remembered_.Contains(subject->personId)) {
            const RecognizedListItem* entry = RaiseRecognizedPerson(
                subject->personId, subject->person, subject->bestDistance, subject->picture, now, cameraName);
            subject->listEntry = entry ? RecognizedPersonsList::RefOf(*entry) : RecognizedEntryRef{};
        }
    } else if (changed) {
        outputs_.PersonUpdated({subject->id, Confidence(subject->bestDistance), subject->personId, &subject->person,
                                &subject->picture, subject->sureHits});
        UpdateListEntry(*subject);
    }
}

void RecognitionEvents::HandleForVanishedSubject(const RecognizedData& result, const RecognitionRules& rules, bool sure,
                                                 double now, const QString& cameraName) {
    // A pending result may still complete the count of a subject that has gone.
    const bool completes =
        rules.repeatForRecognition == 1 ||
        (result.personId == result.personIdAtHandOver && result.countAtHandOver + 1 == rules.repeatForRecognition);
    if (!sure || !completes || remembered_.Contains(result.personId)) return;
    const PersonFields& person = result.person;
    static const cv::Mat kNoPicture;
    const cv::Mat& picture = result.picture ? *result.picture : kNoPicture;
    outputs_.PersonRecognized({result.subjectId, Confidence(result.distance), result.personId, &person, &picture,
                               result.countAtHandOver + 1});
    RaiseRecognizedPerson(result.personId, person, result.distance, picture, now, cameraName);
}

void RecognitionEvents::TakeIdentity(Subject& subject, RecognizedData& result) {
    subject.sureHits = 0;
    subject.recognized = false;
    subject.bestDistance = result.distance;
    subject.personId = result.personId;
    subject.person = result.person;
    subject.listEntry = {};
    subject.picture = result.picture ? std::move(*result.picture) : cv::Mat();
}

void RecognitionEvents::UpdateListEntry(Subject& subject) {
    // The entry may have been removed by the operator or have fallen off the end of the list.
    RecognizedListItem* entry = list_.Find(subject.listEntry);
    if (entry == nullptr) {
        subject.listEntry = {};
        return;
    }
    cv::Mat thumbnail;
    if (MakeThumbnail(subject.picture, &thumbnail)) entry->thumbnail = thumbnail;
    entry->confidence = Confidence(subject.bestDistance);
    outputs_.ListEntryChanged(*entry);
}

RecognizedListItem* RecognitionEvents::RaiseRecognizedPerson(uint32_t personId, const PersonFields& person,
                                                             float distance, const cv::Mat& picture, double now,
                                                             const QString& cameraName) {
    if (!remembered_.Add(personId, now)) {
        WriteLog(QStringLiteral("Недостаточно памяти в системе"));
        return nullptr;
    }
    RecognizedListItem* entry = nullptr;
    try {
        auto item = std::make_unique<RecognizedListItem>();
        item->time = now;
        platform::CopyToFixed(item->cameraName, cameraName);
        item->personId = personId;
        item->person = person;
        item->confidence = Confidence(distance);
        MakeThumbnail(picture, &item->thumbnail);
        entry = list_.InsertAtTop(std::move(item));
    } catch (const std::bad_alloc&) {
        WriteLog(QStringLiteral("Недостаточно памяти в системе"));
        return nullptr;
    }
    outputs_.ListEntryAdded();
    outputs_.PostRecognitionJournal(shell::RecognizedIcon(person.listNumber), QStringLiteral("Распознан"),
                                    JournalDescription(distance, person));
    outputs_.DoRecognizedPersonAlertsAndActions({personId, person, distance, &picture});
    return entry;
}

}  // namespace recognition
