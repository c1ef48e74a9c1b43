#include "app/database/sample_removal.h"

#include "app/database/sample_ops.h"
#include "app/database/sample_texts.h"

namespace database {

RemovalOutcome DeleteSamples(const DbSession& context, int32_t personId, const PersonName& person,
                             const std::vector<int32_t>& sampleIds, SampleChoice choice) {
    RemovalOutcome outcome;
    if (sampleIds.empty()) return outcome;
    const QString question = choice == SampleChoice::Current
                                 ? DeleteSampleQuestion(person)
                                 : DeleteSamplesQuestion(static_cast<int>(sampleIds.size()), person);
    if (context.dialogs.AskYesNo(question, DefaultButton::Second) != Answer::Yes) return outcome;
    for (const int32_t sampleId : sampleIds) {
        if (RetryWhileAsked([&] { return HandleDeleteDbPersonSample(context, sampleId, personId); }) == DbOpCancel) {
            outcome.result = FlowResult::CloseBrowser;
            break;
        }
        outcome.deletedSampleIds.push_back(sampleId);
    }
    const int deleted = static_cast<int>(outcome.deletedSampleIds.size());
    if (deleted > 0) {
        PostChangeJournal(context, SamplesDeletedEvent(deleted), person.Spaced());
        if (outcome.result != FlowResult::CloseBrowser) outcome.result = FlowResult::Done;
    }
    return outcome;
}

}  // namespace database
