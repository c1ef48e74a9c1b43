// ostrovid-enrol on a fresh database of each provider: the 55 johns pictures (5 folders), and
// 1,000 pictures re-framed from them (100 folders of 10: shifts, scales, mirror images). The
// baseline is the face analysis alone on the same files (ostrovid-faces, largest face only): the
// ratio is what the checks, chips and database add to it. Each figure is one run's wall time.
// Usage: enrol_bench [PICTURES]   (1000 unless given; the 55 johns pictures always)

#include "tests/integration/database/db_test_support.h"
#include "tests/support/enrol_folders.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {

using database::DbProvider;

constexpr int kPicturesPerFolder = 10;

// The re-framed set: folder f takes johns person f % 5 with its own surname; picture k of it is
// one of that person's examples in its own framing.
int WriteReframedFolders(const QString& root, int pictures) {
    const std::vector<testsupport::JohnsPerson> people = testsupport::JohnsPeople();
    if (people.empty()) return -1;
    int written = 0;
    for (int folder = 0; written < pictures; ++folder) {
        const testsupport::JohnsPerson& person = people[folder % people.size()];
        std::vector<cv::Mat> frames;
        for (int k = 0; k < kPicturesPerFolder && written + k < pictures; ++k) {
            const int variant = 1 + folder * kPicturesPerFolder + k;
            frames.push_back(
                testsupport::EnrolPicture(person.pictures[(folder + k) % person.pictures.size()], variant));
        }
        const QString name = person.folderName.section(u' ', 0, 0) + QString::number(folder) + QStringLiteral(" John");
        if (!testsupport::WritePersonFolder(root, name, frames)) return -1;
        written += static_cast<int>(frames.size());
    }
    return written;
}

// Runs a tool; its wall time in seconds, negative when it did not end normally. The last line
// it printed goes to *summary.
double Timed(const QString& program, const QStringList& arguments, QString* summary) {
    QProcess process;
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit) return -1;
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (summary) *summary = QString::fromUtf8(process.readAllStandardOutput()).trimmed().section(u'\n', -1);
    return seconds;
}

QStringList FilesUnder(const QString& root) {
    QStringList files;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) files << it.next();
    files.sort();
    return files;
}

void Measure(const char* what, const QString& root, int pictures) {
    const QStringList faceArguments = QStringList{QStringLiteral("--data"), QStringLiteral(OSTROVID_DATA_DIR),
                                                  QStringLiteral("--max-subject"), QStringLiteral("1")} +
                                      FilesUnder(root);
    const double baseline = Timed(QStringLiteral(OSTROVID_FACES_TOOL), faceArguments, nullptr);
    for (DbProvider provider : {DbProvider::SQLite, DbProvider::PostgreSQL}) {
        const std::string name = database::ProviderName(provider).toStdString();
        if (provider == DbProvider::PostgreSQL && !dbtest::PostgresUnavailableReason().isEmpty()) {
            std::printf("%-28s %-10s skipped: %s\n", what, name.c_str(),
                        qUtf8Printable(dbtest::PostgresUnavailableReason()));
            continue;
        }
        dbtest::TestDatabase db(provider);
        QString summary;
        const double ours = Timed(QStringLiteral(OSTROVID_ENROL_TOOL),
                                  {QStringLiteral("--data"), QStringLiteral(OSTROVID_DATA_DIR), QStringLiteral("--db"),
                                   db.ConnectionString(), root},
                                  &summary);
        std::printf("%-28s %-10s ours %8.2f s (%6.1f ms/picture)  baseline %8.2f s  ours/baseline %.2f\n", what,
                    name.c_str(), ours, 1000 * ours / pictures, baseline, ours / baseline);
        std::printf("%-28s %-10s %s\n", "", "", qUtf8Printable(summary));
        std::fflush(stdout);
    }
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const int reframed = argc > 1 ? std::atoi(argv[1]) : 1000;
    QTemporaryDir dir;
    const QString johns = dir.filePath(QStringLiteral("johns"));
    const QString many = dir.filePath(QStringLiteral("reframed"));
    if (testsupport::WriteJohnsFolders(johns) != 55 || reframed <= 0 ||
        WriteReframedFolders(many, reframed) != reframed) {
        std::fprintf(stderr, "enrol_bench: cannot make the picture folders\n");
        return 1;
    }
    std::printf("ostrovid-enrol, one run each (baseline: ostrovid-faces --max-subject 1 on the same files)\n");
    Measure("johns, 55 pictures", johns, 55);
    Measure(qUtf8Printable(QStringLiteral("re-framed, %1 pictures").arg(reframed)), many, reframed);
    return 0;
}
