#include "app/database/sample_clipboard.h"

#include "app/database/sample_checks.h"
#include "app/database/sample_ops.h"
#include "app/database/sample_texts.h"

namespace database {

void SampleClipboard::Clear() {
    sourcePersonId_ = 0;
    source_ = {};
    samples_.clear();
}

void SampleClipboard::Cut(OperatorDialogs& dialogs, int32_t sourcePersonId, const PersonName& source,
                          std::vector<ClipboardSample> samples) {
    sourcePersonId_ = sourcePersonId;
    source_ = source;
    samples_ = std::move(samples);
    dialogs.ShowTimedNotice(SamplesCutNotice(static_cast<int>(samples_.size())), NoticeIcon::Information,
                            std::chrono::milliseconds(2000));
}

bool CanPasteSamples(const SampleClipboard& clipboard, int32_t personId, int sampleCount) {
    return !clipboard.Empty() && clipboard.SourcePersonId() != personId && sampleCount < kMaxSamplesPerPerson;
}

PasteOutcome PasteSamples(const DbSession& context, SampleClipboard& clipboard, int32_t destinationPersonId,
                          const PersonName& destination, int destinationSampleCount,
                          std::vector<recognition::FaceDescriptor> destinationDescriptors) {
    PasteOutcome outcome;
    if (!CanPasteSamples(clipboard, destinationPersonId, destinationSampleCount)) {
        outcome.result = clipboard.Empty() ? FlowResult::Abandoned : FlowResult::LimitReached;
        return outcome;
    }
    const int cut = static_cast<int>(clipboard.Samples().size());
    if (context.dialogs.AskYesNo(PasteSamplesQuestion(cut, destination), DefaultButton::Second) != Answer::Yes) {
        return outcome;
    }
    for (const ClipboardSample& sample : clipboard.Samples()) {
        const int held = destinationSampleCount + static_cast<int>(outcome.movedSampleIds.size());
        if (held > kMaxSamplesPerPerson - 1) {
            context.dialogs.ShowTimedNotice(PasteLimitNotice(held), NoticeIcon::Warning,
                                            std::chrono::milliseconds(5000));
            break;
        }
        if (sample.descriptor) {
            const SampleDecision decision =
                CheckNewSample(context.dialogs, *sample.descriptor, destinationDescriptors, DuplicateCheck::Detect);
            if (decision == SampleDecision::Stop) break;
            if (decision == SampleDecision::Skip) continue;
        }
        const DbOpResult result = RetryWhileAsked([&] {
            return HandleDbPastePersonSample(context, clipboard.SourcePersonId(), destinationPersonId, sample.sampleId);
        });
        if (result == DbOpCancel) {
            outcome.result = FlowResult::CloseBrowser;
            break;
        }
        outcome.movedSampleIds.push_back(sample.sampleId);
        if (sample.descriptor) destinationDescriptors.push_back(*sample.descriptor);
    }
    const int moved = static_cast<int>(outcome.movedSampleIds.size());
    if (moved > 0) {
        PostChangeJournal(context, SamplesMovedEvent(moved), SamplesMovedDescription(clipboard.Source(), destination));
        if (outcome.result != FlowResult::CloseBrowser) outcome.result = FlowResult::Done;
    }
    clipboard.Clear();
    return outcome;
}

}  // namespace database
