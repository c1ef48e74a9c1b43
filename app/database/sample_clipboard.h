#pragma once
// Purpose: moving samples between persons in the browser: "cut" puts samples into the sample
//          clipboard, "paste" moves them to the current person, one transaction a sample, with
//          both persons' STATE counted.
// Threads: the user-interface thread.
// Owns: the clipboard owns its copies of ids, names and descriptors.

#include "app/database/db_session.h"
#include "app/database/person_name.h"
#include "app/recognition/face_descriptor.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace database {

struct ClipboardSample {
    int32_t sampleId = 0;
    std::optional<recognition::FaceDescriptor> descriptor;  // nothing for a damaged stored one
};

class SampleClipboard {
public:
    bool Empty() const { return samples_.empty(); }
    void Clear();
    int32_t SourcePersonId() const { return sourcePersonId_; }
    const PersonName& Source() const { return source_; }
    const std::vector<ClipboardSample>& Samples() const { return samples_; }

    // Replaces the content with the samples of the source person and says so in a timed notice.
    void Cut(OperatorDialogs& dialogs, int32_t sourcePersonId, const PersonName& source,
             std::vector<ClipboardSample> samples);

private:
    int32_t sourcePersonId_ = 0;
    PersonName source_;
    std::vector<ClipboardSample> samples_;
};

// Paste is offered for a person other than the source that has fewer than 16 samples.
bool CanPasteSamples(const SampleClipboard& clipboard, int32_t personId, int sampleCount);

struct PasteOutcome {
    FlowResult result = FlowResult::Abandoned;
    std::vector<int32_t> movedSampleIds;
};

// Asks, then moves the clipboard's samples in order: stops at 16 samples in the destination
// (counting this run), asks about duplicates and unlike samples (against the destination's
// descriptors and those moved before), and journals the moves. The clipboard is emptied once
// the operator agreed. destinationDescriptors: the destination's samples as the browser shows them.
PasteOutcome PasteSamples(const DbSession& context, SampleClipboard& clipboard, int32_t destinationPersonId,
                          const PersonName& destination, int destinationSampleCount,
                          std::vector<recognition::FaceDescriptor> destinationDescriptors);

}  // namespace database
