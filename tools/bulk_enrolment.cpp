#include "tools/bulk_enrolment.h"

#include "app/database/db_session.h"
#include "app/database/person_ops.h"
#include "app/database/picture_files.h"
#include "app/database/sample_checks.h"
#include "app/database/sample_creation.h"
#include "app/database/sample_ops.h"
#include "app/database/sample_texts.h"
#include "app/enrolment/sample_create_wizard.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <chrono>
#include <cstdint>
#include <utility>

namespace enrol {

namespace {

enum class Question { None, Duplicate, Dissimilar };
enum class RunState { Going, Stopped };

// The operator of the shared operations, answered by the run's options: a failed operation is
// cancelled (never retried), a duplicate is skipped, a dissimilar sample follows the policy.
// What was asked or shown is kept for the file's report.
class ScriptedOperator : public database::DbUserInterface, public database::OperatorDialogs {
public:
    explicit ScriptedOperator(DissimilarPolicy policy) : policy_(policy) {}

    bool AskRetry(const QString& caption, const QString& description) override {
        Note(caption + QStringLiteral(": ") + description);
        return false;
    }
    void ShowError(const QString& caption, const QString& description) override {
        Note(caption + QStringLiteral(": ") + description);
    }
    database::Answer AskYesNo(const QString&, database::DefaultButton) override { return database::Answer::No; }
    database::Answer AskYesNoCancel(const QString& text, database::DefaultButton) override {
        if (text == database::DuplicateSampleQuestion()) {
            asked_ = Question::Duplicate;
            return database::Answer::No;
        }
        asked_ = Question::Dissimilar;
        return policy_ == DissimilarPolicy::Accept ? database::Answer::Yes : database::Answer::No;
    }
    void ShowNotice(const QString& text, database::NoticeIcon) override { Note(text); }
    void ShowTimedNotice(const QString& text, database::NoticeIcon, std::chrono::milliseconds) override { Note(text); }

    // What was asked and shown since the last call, cleared.
    Question TakeQuestion() { return std::exchange(asked_, Question::None); }
    QString TakeNotes() { return std::exchange(notes_, QString()); }

private:
    void Note(const QString& text) {
        if (!notes_.isEmpty()) notes_ += QStringLiteral("; ");
        notes_ += text;
    }

    DissimilarPolicy policy_;
    Question asked_ = Question::None;
    QString notes_;
};

struct FileResult {
    FileOutcome outcome;
    QString detail;
};

// One person folder against the database: its known samples, and the person created when its
// first sample is stored.
class PersonEnrolment {
public:
    PersonEnrolment(const EnrolOptions& options, database::DbSession& session, recognition::FaceModels& models,
                    ScriptedOperator& answers, PersonSummary& summary)
        : options_(options), session_(session), models_(models), answers_(answers), summary_(summary) {}

    // Finds the person by name and reads its samples; false after a database failure.
    bool Open() {
        try {
            personId_ = database::FindPersonByName(session_.connection, summary_.name);
        } catch (const database::DbError& error) {
            database::LogDbException("FindPersonByName", error.Description());
            failure_ = error.Description();
            return false;
        }
        if (!personId_) return true;
        std::vector<database::StoredSample> samples;
        if (database::HandleGetDbPersonSampleList(session_, *personId_, &samples) != database::DbOpDone) {
            failure_ = answers_.TakeNotes();
            return false;
        }
        sampleCount_ = static_cast<int>(samples.size());
        for (const database::StoredSample& sample : samples)
            if (sample.descriptor) descriptors_.push_back(*sample.descriptor);
        return true;
    }
    const QString& Failure() const { return failure_; }

    FileResult Offer(const QString& path) {
        if (sampleCount_ >= database::kMaxSamplesPerPerson)
            return {FileOutcome::OverLimit, QStringLiteral("the person already has %1 samples").arg(sampleCount_)};
        if (auto refusal = CheckPicture(path)) return *std::move(refusal);

        enrolment::CSampleCreateWizard wizard(models_, path);
        if (wizard.LoadOriginaFile() == enrolment::LoadResult::Failed)
            return {FileOutcome::Unreadable, wizard.LoadErrorText()};
        if (wizard.Faces().empty()) return {FileOutcome::NoFace, QString::fromUtf8(enrolment::kNoFaceText)};
        wizard.ChooseFace(LargestFace(wizard.Faces()));
        wizard.Next();
        if (!wizard.Succeeded()) return {FileOutcome::NoFace, QStringLiteral("the face's landmarks cannot be placed")};
        const recognition::DescribedFace& face = *wizard.Sample();

        const database::SampleDecision decision =
            database::CheckNewSample(answers_, face.descriptor, descriptors_, database::DuplicateCheck::Detect);
        const Question asked = answers_.TakeQuestion();
        if (decision != database::SampleDecision::Add) {
            return asked == Question::Duplicate
                       ? FileResult{FileOutcome::Duplicate, QStringLiteral("a duplicate of a stored sample")}
                       : FileResult{FileOutcome::Dissimilar, QStringLiteral("unlike the person's stored samples")};
        }
        if (options_.mode == RunMode::Write) {
            if (auto failure = Store(face)) return *std::move(failure);
        }
        // In a dry run the person stays missing: each accepted sample counts it as created.
        if (!personId_) summary_.created = true;
        ++sampleCount_;
        descriptors_.push_back(face.descriptor);
        return {FileOutcome::Added,
                asked == Question::Dissimilar ? QStringLiteral("added although dissimilar") : QString()};
    }

private:
    // The wizard's entry checks on the file itself: a picture, and large enough.
    static std::optional<FileResult> CheckPicture(const QString& path) {
        const database::LoadedPicture picture = database::LoadPictureFile(path);
        switch (picture.status) {
        case database::PictureStatus::Loaded:
            break;
        case database::PictureStatus::TooLarge:
            return FileResult{FileOutcome::Unreadable, QStringLiteral("the picture is too large")};
        default:
            return FileResult{FileOutcome::Unreadable, QStringLiteral("not a readable picture")};
        }
        const QSize size = picture.image.size();
        if (size.width() < database::kMinSamplePictureSide || size.height() < database::kMinSamplePictureSide)
            return FileResult{FileOutcome::TooSmall, database::PictureTooSmallNotice(size.width(), size.height())};
        return std::nullopt;
    }

    static int LargestFace(const std::vector<recognition::FrameFace>& faces) {
        int largest = 0;
        for (size_t i = 1; i < faces.size(); ++i) {
            const auto area = [](const recognition::FrameFace& face) { return int64_t{face.width} * face.height; };
            if (area(faces[i]) > area(faces[largest])) largest = static_cast<int>(i);
        }
        return largest;
    }

    std::optional<FileResult> Store(const recognition::DescribedFace& face) {
        if (!personId_) {
            database::PersonFields fields;
            fields.surname = summary_.name.surname;
            fields.forename = summary_.name.forename;
            fields.secondName = summary_.name.secondName;
            personId_ = database::HandleNewPersonCmd(session_, options_.list, fields);
            if (!personId_) return FileResult{FileOutcome::Failed, answers_.TakeNotes()};
            summary_.created = true;
        }
        const QByteArray image = database::SampleImageThroughTempFile(face.chip);
        if (image.isEmpty()) return FileResult{FileOutcome::Failed, database::kTempFileFailedNotice};
        int32_t sampleId = 0;
        if (database::HandleInsertDbPersonSample(session_, image, face.descriptor, *personId_, &sampleId) !=
            database::DbOpDone) {
            return FileResult{FileOutcome::Failed, answers_.TakeNotes()};
        }
        return std::nullopt;
    }

    const EnrolOptions& options_;
    database::DbSession& session_;
    recognition::FaceModels& models_;
    ScriptedOperator& answers_;
    PersonSummary& summary_;
    std::optional<int32_t> personId_;
    int sampleCount_ = 0;
    std::vector<recognition::FaceDescriptor> descriptors_;
    QString failure_;
};

void Count(PersonSummary& summary, FileOutcome outcome) {
    switch (outcome) {
    case FileOutcome::Added:
        ++summary.added;
        break;
    case FileOutcome::Duplicate:
        ++summary.duplicates;
        break;
    case FileOutcome::Dissimilar:
        ++summary.dissimilar;
        break;
    case FileOutcome::OverLimit:
        ++summary.overLimit;
        break;
    case FileOutcome::Unreadable:
    case FileOutcome::TooSmall:
    case FileOutcome::NoFace:
        ++summary.refused;
        break;
    case FileOutcome::Failed:
        ++summary.failed;
        break;
    }
}

QFileInfoList PersonFolders(const QString& root) {
    return QDir(root).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

// Every file of a person folder, links included (they are read like the files they name).
QFileInfoList PersonFiles(const QString& folder) {
    return QDir(folder).entryInfoList(QDir::Files | QDir::Hidden, QDir::Name);
}

}  // namespace

std::optional<database::PersonName> PersonNameFromFolder(const QString& folderName) {
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    const QStringList words = folderName.split(blanks, Qt::SkipEmptyParts);
    if (words.size() < 2 || words.size() > 3) return std::nullopt;
    for (const QString& word : words)
        if (static_cast<size_t>(word.size()) >= database::kNameUnits) return std::nullopt;
    return database::PersonName{words[0], words[1], words.size() == 3 ? words[2] : QString()};
}

std::vector<PersonSummary> EnrolFolder(const QString& root, const EnrolOptions& options,
                                       database::DbConnection& connection, const QString& connectionString,
                                       recognition::FaceModels& models, EnrolReport& report) {
    const QFileInfoList folders = PersonFolders(root);
    int files = 0;
    for (const QFileInfo& folder : folders) files += static_cast<int>(PersonFiles(folder.filePath()).size());
    report.Started(files);

    ScriptedOperator answers(options.dissimilar);
    const shell::Journal journal;  // a run from the command line has no journal window
    database::DbSession session{connection, answers, answers, connectionString, journal};
    std::vector<PersonSummary> summaries;
    RunState state = RunState::Going;
    for (const QFileInfo& folder : folders) {
        if (state == RunState::Stopped) break;
        PersonSummary& summary = summaries.emplace_back();
        summary.folder = folder.fileName();
        const QFileInfoList pictures = PersonFiles(folder.filePath());
        const std::optional<database::PersonName> name = PersonNameFromFolder(summary.folder);
        if (!name) {
            summary.validName = false;
            for (const QFileInfo& picture : pictures) {
                report.FileDone(picture.filePath(), FileOutcome::Failed,
                                QStringLiteral("the folder is not named \"Surname Forename [Secondname]\""));
                ++summary.failed;
            }
            report.PersonDone(summary);
            continue;
        }
        summary.name = *name;
        PersonEnrolment person(options, session, models, answers, summary);
        if (!person.Open()) {
            for (const QFileInfo& picture : pictures) {
                report.FileDone(picture.filePath(), FileOutcome::Failed, person.Failure());
                ++summary.failed;
            }
            report.PersonDone(summary);
            break;
        }
        for (const QFileInfo& picture : pictures) {
            if (state == RunState::Stopped) {
                report.FileDone(picture.filePath(), FileOutcome::Failed, QStringLiteral("not offered after a failure"));
                ++summary.failed;
                continue;
            }
            const FileResult result = person.Offer(picture.filePath());
            Count(summary, result.outcome);
            report.FileDone(picture.filePath(), result.outcome, result.detail);
            // The database is gone or refuses writes: the rest would fail the same way.
            if (result.outcome == FileOutcome::Failed) state = RunState::Stopped;
        }
        report.PersonDone(summary);
    }
    return summaries;
}

}  // namespace enrol
