#include "app/database/sample_checks.h"

#include "app/database/sample_texts.h"
#include "app/recognition/matching.h"

namespace database {

SampleDecision CheckNewSample(OperatorDialogs& dialogs, const recognition::FaceDescriptor& candidate,
                              const std::vector<recognition::FaceDescriptor>& stored, DuplicateCheck duplicates) {
    if (stored.empty()) return SampleDecision::Add;
    int dissimilar = 0;
    bool duplicate = false;
    for (const recognition::FaceDescriptor& sample : stored) {
        const float distance = recognition::DescriptorDistance(candidate, sample);
        if (distance > kDissimilarDistance) ++dissimilar;
        if (duplicates == DuplicateCheck::Detect && distance == 0.0f) duplicate = true;
    }
    QString question;
    if (duplicate) {
        question = DuplicateSampleQuestion();
    } else if (dissimilar == 0) {
        return SampleDecision::Add;
    } else {
        question = DissimilarSampleQuestion(dissimilar, static_cast<int>(stored.size()));
    }
    switch (dialogs.AskYesNoCancel(question, DefaultButton::Second)) {
    case Answer::Yes:
        return SampleDecision::Add;
    case Answer::No:
        return SampleDecision::Skip;
    default:
        return SampleDecision::Stop;
    }
}

}  // namespace database
