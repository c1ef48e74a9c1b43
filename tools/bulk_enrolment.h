#pragma once
// Purpose: enrolment of a whole folder of photos: one sub-folder per person, named
//          "Surname Forename [Secondname]"; every file in it is offered as a sample through the
//          checks of the sample wizard (200-pixel minimum, the 1920 limit, the wizard's face
//          detection with the largest face chosen, its chip and descriptor, the 16-sample limit,
//          CheckNewSample's duplicate and dissimilar rules) and stored with the sample insert
//          operation. A person found by name is extended, a missing one is created on its first
//          accepted sample.
// Threads: one thread, which owns the connection and the face models' interface describer.
// Owns: nothing; the connection, the models and the report belong to the caller.

#include "app/database/db_access.h"
#include "app/database/person_record.h"
#include "app/recognition/face_models.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace enrol {

enum class RunMode { Write, DryRun };
enum class DissimilarPolicy { Skip, Accept };

struct EnrolOptions {
    database::WatchList list = database::WatchList::Green;
    RunMode mode = RunMode::Write;
    DissimilarPolicy dissimilar = DissimilarPolicy::Skip;
};

// What became of one offered file.
enum class FileOutcome {
    Added,       // stored (in a dry run: would be stored)
    Duplicate,   // a stored sample has exactly its descriptor
    Dissimilar,  // farther than the dissimilar distance from a stored sample
    OverLimit,   // the person already has the most samples
    Unreadable,  // not a picture, damaged, or too large to decode
    TooSmall,    // a side under the minimum
    NoFace,      // no face whose chip and descriptor could be made
    Failed,      // the database or a temporary file failed
};

// One person folder as it turned out.
struct PersonSummary {
    QString folder;
    database::PersonName name;
    bool validName = true;
    bool created = false;  // a new person (in a dry run: one would be created)
    int added = 0;
    int duplicates = 0;
    int dissimilar = 0;
    int overLimit = 0;
    int refused = 0;  // unreadable, too small, no face
    int failed = 0;
};

// Where the run says what it does, in order.
class EnrolReport {
public:
    virtual ~EnrolReport() = default;
    // Before the first file: how many files the run offers.
    virtual void Started(int files) = 0;
    // After each file; detail says why it was not added (empty when it was).
    virtual void FileDone(const QString& path, FileOutcome outcome, const QString& detail) = 0;
    // After each person folder.
    virtual void PersonDone(const PersonSummary& summary) = 0;
};

// The person's names from a folder name: two or three words separated by blanks, each within a
// name field's capacity. Nothing otherwise.
std::optional<database::PersonName> PersonNameFromFolder(const QString& folderName);

// Enrols every person folder of root, in name order. A database failure ends the run (the
// operation in progress rolled back); the persons done so far are returned with it.
// connectionString is what a failed operation's handler reopens the connection with.
std::vector<PersonSummary> EnrolFolder(const QString& root, const EnrolOptions& options,
                                       database::DbConnection& connection, const QString& connectionString,
                                       recognition::FaceModels& models, EnrolReport& report);

}  // namespace enrol
