#include "app/database/snapshot_samples.h"

#include "app/database/picture_files.h"
#include "app/database/sample_checks.h"
#include "app/database/sample_ops.h"
#include "app/database/sample_texts.h"

namespace database {

SnapshotSaveOutcome SaveSnapshotsAsSamples(DbUserInterface& ui, OperatorDialogs& dialogs,
                                           const QString& connectionString, const PersonChooser& chooser,
                                           std::vector<Snapshot>& panel, SnapshotChoice choice, size_t current) {
    SnapshotSaveOutcome outcome;
    std::vector<size_t> chosen;
    if (choice == SnapshotChoice::Current) {
        if (current < panel.size()) chosen.push_back(current);
    } else {
        for (size_t i = 0; i < panel.size(); ++i) {
            if (panel[i].selected) chosen.push_back(i);
        }
    }
    if (chosen.empty()) return outcome;

    DbConnection connection;
    try {
        WaitCursorScope cursor(ui);
        connection.Open(connectionString);
    } catch (const DbError& error) {
        ui.ShowError(kCaptionConnection, error.Description());
        return outcome;
    }
    const std::optional<ChosenPerson> person = chooser(connection);
    if (!person) return outcome;
    std::vector<recognition::FaceDescriptor> descriptors;
    if (person->sampleCount > 0) {
        auto stored = GetSampleDescriptorList(connection, dialogs, person->personId);
        if (!stored) return outcome;
        descriptors = std::move(*stored);
    }
    const QString question = choice == SnapshotChoice::Current
                                 ? SaveSnapshotQuestion(person->name)
                                 : SaveSnapshotsQuestion(static_cast<int>(chosen.size()), person->name);
    if (dialogs.AskYesNo(question, DefaultButton::First) != Answer::Yes) return outcome;

    const DbOpTarget target{ui, connection, connectionString};
    // False when the insert was given up: the run ends.
    const auto save = [&](const Snapshot& snapshot) {
        const QByteArray image = EncodeSampleChip(snapshot.chip);
        if (image.isEmpty()) {
            dialogs.ShowNotice(kTempFileFailedNotice, NoticeIcon::Error);
            return false;
        }
        int32_t sampleId = 0;
        return RepeatWhileRetry([&] {
                   return HandleInsertDbPersonSample(target, image, snapshot.descriptor, person->personId, &sampleId);
               }) == DbOpDone;
    };

    if (choice == SnapshotChoice::Current) {
        if (person->sampleCount >= kMaxSamplesPerPerson) {
            dialogs.ShowNotice(SnapshotLimitNotice(), NoticeIcon::Warning);
            return outcome;
        }
        const Snapshot& snapshot = panel[chosen.front()];
        if (CheckNewSample(dialogs, snapshot.descriptor, descriptors, DuplicateCheck::Ignore) == SampleDecision::Add &&
            save(snapshot)) {
            outcome.savedIndices.push_back(chosen.front());
        }
    } else {
        for (const size_t index : chosen) {
            Snapshot& snapshot = panel[index];
            if (person->sampleCount + static_cast<int>(outcome.savedIndices.size()) > kMaxSamplesPerPerson - 1) {
                dialogs.ShowNotice(SnapshotsLimitNotice(), NoticeIcon::Warning);
                break;
            }
            const SampleDecision decision =
                CheckNewSample(dialogs, snapshot.descriptor, descriptors, DuplicateCheck::Ignore);
            if (decision == SampleDecision::Stop) break;
            if (decision == SampleDecision::Skip) {
                snapshot.selected = false;
                continue;
            }
            if (!save(snapshot)) break;
            outcome.savedIndices.push_back(index);
            descriptors.push_back(snapshot.descriptor);
        }
    }
    const int saved = static_cast<int>(outcome.savedIndices.size());
    if (saved > 0) PostSampleJournal(SnapshotsSavedEvent(saved), person->name.Spaced());
    return outcome;
}

}  // namespace database
