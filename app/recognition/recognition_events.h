#pragma once
// Handling of the prediction workers' results in the viewport: gives the tracked subject its
// identity and label, counts the sure hits and raises the recognized-person event once per
// person within the remembering time. User-interface thread only.

#include "app/recognition/recognized_data.h"
#include "app/recognition/recognized_list.h"
#include "app/recognition/remembered_persons.h"
#include "app/recognition/subject_tracker.h"
#include "app/shell/journal.h"

#include <QString>
#include <memory>

namespace recognition {

// What a recognized-person event hands to the alerts and actions.
struct RecognizedPersonInfo {
    uint32_t personId = 0;
    PersonFields person;
    float distance = 0;
    const cv::Mat* picture = nullptr;
};

// A recognition as the management clients get it.
struct RecognitionReport {
    uint32_t subjectId = 0;
    double confidence = 0;
    uint32_t personId = 0;
    const PersonFields* person = nullptr;
    const cv::Mat* picture = nullptr;
    uint32_t sureHits = 0;
};

struct PersonChange {
    uint32_t subjectId = 0;
    uint32_t newPersonId = 0;
    uint32_t newListNumber = 0;
    double newConfidence = 0;
    uint32_t oldPersonId = 0;
    uint32_t oldListNumber = 0;
    double oldConfidence = 0;
};

class RecognitionOutputs {
public:
    virtual ~RecognitionOutputs() = default;
    // Management events.
    virtual void PersonRecognized(const RecognitionReport& report) = 0;
    virtual void PersonUpdated(const RecognitionReport& report) = 0;
    virtual void PersonChanged(const PersonChange& change) = 0;
    // The subject's label: create it on the first call, set its text on every call, place it.
    virtual void UpdateLabel(Subject& subject) = 0;
    virtual void ShowLabel(Subject& subject) = 0;
    // The recognized-persons list got a new top entry, or an entry got a new picture.
    virtual void ListEntryAdded() = 0;
    virtual void ListEntryChanged(const RecognizedListItem& item) = 0;
    virtual void PostRecognitionJournal(shell::RecognitionIcon icon, const QString& eventText,
                                        const QString& description) = 0;
    virtual void DoRecognizedPersonAlertsAndActions(const RecognizedPersonInfo& info) = 0;
};

// The settings that decide when a subject counts as recognized.
struct RecognitionRules {
    uint32_t assuranceDistance = 35;  // hundredths
    uint32_t repeatForRecognition = 3;
};

// The label text: confidence, then the alias or the full name.
QString SubjectLabelText(float bestDistance, const PersonFields& person);

class RecognitionEvents {
public:
    RecognitionEvents(SubjectTracker& tracker, RememberedPersons& remembered, RecognizedPersonsList& list,
                      RecognitionOutputs& outputs)
        : tracker_(tracker), remembered_(remembered), list_(list), outputs_(outputs) {}

    // Handles one result; the record is freed here (its picture moves into the subject when
    // it is the better one).
    void Handle(std::unique_ptr<RecognizedData> result, const RecognitionRules& rules, double now,
                const QString& cameraName);

private:
    void HandleForVanishedSubject(const RecognizedData& result, const RecognitionRules& rules, bool sure, double now,
                                  const QString& cameraName);
    void TakeIdentity(Subject& subject, RecognizedData& result);
    void UpdateListEntry(Subject& subject);
    // Raises the recognized-person event; the new list entry, or null when it could not be made.
    RecognizedListItem* RaiseRecognizedPerson(uint32_t personId, const PersonFields& person, float distance,
                                              const cv::Mat& picture, double now, const QString& cameraName);

    SubjectTracker& tracker_;
    RememberedPersons& remembered_;
    RecognizedPersonsList& list_;
    RecognitionOutputs& outputs_;
};

}  // namespace recognition
