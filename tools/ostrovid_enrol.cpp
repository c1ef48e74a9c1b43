// Enrols a folder of photos into the person database: one sub-folder per person named
// "Surname Forename [Secondname]", every picture in it offered as a sample through the sample
// wizard's checks. Safe to run again: samples already stored are recognized as duplicates.
// Usage: ostrovid-enrol [--list green|red|gray] [--dry-run] [--accept-dissimilar] [--db CONNECTION]
//                       [--data DIR] FOLDER
// The connection string is DbConnectionString of the settings store unless --db gives one.
// Exit status: 0 when every file was stored or knowingly skipped, 1 when a file was refused or
// something failed, 2 for bad arguments, a missing connection string or missing face models.

#include "app/database/db_access.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "settings/load_settings.h"
#include "tools/bulk_enrolment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

enum class Terminal { Yes, No };

constexpr int kBarWidth = 40;

int Usage(const char* problem) {
    std::fprintf(stderr,
                 "ostrovid-enrol: %s\n"
                 "usage: ostrovid-enrol [--list green|red|gray] [--dry-run] [--accept-dissimilar] "
                 "[--db CONNECTION] [--data DIR] FOLDER\n",
                 problem);
    return 2;
}

QString ProgramDataDir() {
    return QFileInfo(QCoreApplication::applicationFilePath()).absolutePath() + QStringLiteral("/Data");
}

// The string the settings service stored; empty when the store has none.
QString StoredConnectionString() {
    platform::RegistryStore store(platform::RegistryFilePath());
    if (store.Load() != 0) return {};
    auto state = std::make_unique<settings::SettingsState>();
    settings::LoadSettingsFromStore(store, *state);
    return QString::fromUtf16(state->DbConnectionString);
}

const char* OutcomeText(enrol::FileOutcome outcome) {
    switch (outcome) {
    case enrol::FileOutcome::Added:
        return "added";
    case enrol::FileOutcome::Duplicate:
        return "duplicate, skipped";
    case enrol::FileOutcome::Dissimilar:
        return "dissimilar, skipped";
    case enrol::FileOutcome::OverLimit:
        return "over the sample limit, skipped";
    case enrol::FileOutcome::Unreadable:
        return "unreadable, skipped";
    case enrol::FileOutcome::TooSmall:
        return "too small, skipped";
    case enrol::FileOutcome::NoFace:
        return "no face, skipped";
    case enrol::FileOutcome::Failed:
        return "failed";
    }
    return "";
}

// Prints the run: files that were not simply added on stderr, a line per person and the
// totals on stdout, and on a terminal a progress bar that those lines clear first.
class ConsoleReport : public enrol::EnrolReport {
public:
    ConsoleReport(Terminal terminal, enrol::RunMode mode) : terminal_(terminal), mode_(mode) {}

    void Started(int files) override {
        total_ = files;
        DrawBar();
    }

    void FileDone(const QString& path, enrol::FileOutcome outcome, const QString& detail) override {
        ++done_;
        if (outcome != enrol::FileOutcome::Added || !detail.isEmpty()) {
            ClearBar();
            std::fprintf(stderr, "ostrovid-enrol: %s: %s%s%s\n", qUtf8Printable(path), OutcomeText(outcome),
                         detail.isEmpty() ? "" : ": ", qUtf8Printable(detail));
        }
        DrawBar();
    }

    void PersonDone(const enrol::PersonSummary& person) override {
        ClearBar();
        const QString who = person.validName ? person.name.Compact() : person.folder;
        const char* state = !person.validName ? "folder name not understood"
                            : person.created ? (mode_ == enrol::RunMode::DryRun ? "new person (dry run)" : "new person")
                                             : "existing person";
        std::printf("%s: %s, %d added, %d duplicates, %d dissimilar, %d over the limit, %d refused, %d failed\n",
                    qUtf8Printable(who), state, person.added, person.duplicates, person.dissimilar, person.overLimit,
                    person.refused, person.failed);
        std::fflush(stdout);
        DrawBar();
    }

private:
    void DrawBar() {
        if (terminal_ == Terminal::No || total_ == 0) return;
        const int filled = done_ * kBarWidth / total_;
        std::printf("\r[%s%s] %d/%d", std::string(filled, '#').c_str(), std::string(kBarWidth - filled, ' ').c_str(),
                    done_, total_);
        std::fflush(stdout);
        barShown_ = true;
    }
    void ClearBar() {
        if (!barShown_) return;
        std::printf("\r\033[K");
        std::fflush(stdout);
        barShown_ = false;
    }

    Terminal terminal_;
    enrol::RunMode mode_;
    int total_ = 0;
    int done_ = 0;
    bool barShown_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    enrol::EnrolOptions options;
    QString connectionString;
    QString dataDir = ProgramDataDir();
    QString folder;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        const bool valued = i + 1 < argc;
        if (std::strcmp(argument, "--list") == 0 && valued) {
            const QString list = QString::fromLocal8Bit(argv[++i]);
            if (list == QStringLiteral("green"))
                options.list = database::WatchList::Green;
            else if (list == QStringLiteral("red"))
                options.list = database::WatchList::Red;
            else if (list == QStringLiteral("gray"))
                options.list = database::WatchList::Gray;
            else
                return Usage("--list takes green, red or gray");
        } else if (std::strcmp(argument, "--dry-run") == 0) {
            options.mode = enrol::RunMode::DryRun;
        } else if (std::strcmp(argument, "--accept-dissimilar") == 0) {
            options.dissimilar = enrol::DissimilarPolicy::Accept;
        } else if (std::strcmp(argument, "--db") == 0 && valued) {
            connectionString = QString::fromLocal8Bit(argv[++i]);
            if (connectionString.isEmpty()) return Usage("--db takes a connection string");
        } else if (std::strcmp(argument, "--data") == 0 && valued) {
            dataDir = QString::fromLocal8Bit(argv[++i]);
        } else if (argument[0] == '-') {
            return Usage("unknown option or missing value");
        } else if (folder.isEmpty()) {
            folder = QString::fromLocal8Bit(argument);
        } else {
            return Usage("one FOLDER only");
        }
    }
    if (folder.isEmpty()) return Usage("no FOLDER given");
    if (!QFileInfo(folder).isDir()) return Usage(qUtf8Printable(folder + QStringLiteral(" is not a folder")));
    if (connectionString.isEmpty()) connectionString = StoredConnectionString();
    if (connectionString.isEmpty()) {
        const QString problem =
            QStringLiteral("no DbConnectionString in %1; give --db").arg(platform::RegistryFilePath());
        return Usage(qUtf8Printable(problem));
    }

    QString error;
    // One thread, which describes through the loaded network: the pool is never borrowed from.
    const std::unique_ptr<recognition::FaceModels> models =
        recognition::FaceModels::Load(dataDir, error, recognition::PooledNetworks{1});
    if (!models) {
        std::fprintf(stderr, "ostrovid-enrol: cannot load the face models of %s: %s\n", qUtf8Printable(dataDir),
                     qUtf8Printable(error));
        return 2;
    }
    database::DbConnection connection;
    try {
        connection.Open(connectionString);
    } catch (const database::DbError& failure) {
        // The description names the server and the reason, never the password.
        std::fprintf(stderr, "ostrovid-enrol: cannot connect to the database: %s\n",
                     qUtf8Printable(failure.Description()));
        return 1;
    }

    ConsoleReport report(::isatty(STDOUT_FILENO) ? Terminal::Yes : Terminal::No, options.mode);
    const std::vector<enrol::PersonSummary> persons =
        enrol::EnrolFolder(folder, options, connection, connectionString, *models, report);

    int created = 0, added = 0, duplicates = 0, dissimilar = 0, overLimit = 0, refused = 0, failed = 0;
    for (const enrol::PersonSummary& person : persons) {
        created += person.created ? 1 : 0;
        added += person.added;
        duplicates += person.duplicates;
        dissimilar += person.dissimilar;
        overLimit += person.overLimit;
        refused += person.refused;
        failed += person.failed;
    }
    std::printf(
        "%s%zu persons (%d new), %d samples added, %d duplicates, %d dissimilar, %d over the limit, "
        "%d refused, %d failed\n",
        options.mode == enrol::RunMode::DryRun ? "Dry run, nothing written: " : "", persons.size(), created, added,
        duplicates, dissimilar, overLimit, refused, failed);
    return refused + failed == 0 ? 0 : 1;
}
