// ostrovid-enrol as a process against real databases of both providers, on folders made from
// dlib's example faces: the whole johns set, a second run, a dry run, bad files, the sample
// limit, dissimilar samples, an existing person, the settings store, bad arguments.

#include "app/database/person_statements.h"
#include "platform/registry.h"
#include "settings/registry_names.h"
#include "tests/integration/database/db_test_support.h"
#include "tests/support/enrol_folders.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

using database::DbProvider;

// What one run printed and returned.
struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
};

class EnrolToolTest : public ::testing::TestWithParam<DbProvider> {
protected:
    void SetUp() override {
        if (GetParam() == DbProvider::PostgreSQL && !dbtest::PostgresUnavailableReason().isEmpty())
            GTEST_SKIP() << dbtest::PostgresUnavailableReason().toStdString();
        db_ = std::make_unique<dbtest::TestDatabase>(GetParam());
        connection_.Open(db_->ConnectionString());
        root_ = dir_.filePath(QStringLiteral("photos"));
    }

    ToolRun Enrol(QStringList arguments, bool withDb = true) {
        if (withDb) arguments = QStringList{QStringLiteral("--db"), db_->ConnectionString()} + arguments;
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("OSTROVID_REGISTRY"), StorePath());
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(OSTROVID_ENROL_TOOL),
                      QStringList{QStringLiteral("--data"), QStringLiteral(OSTROVID_DATA_DIR)} + arguments);
        ToolRun run;
        if (!process.waitForFinished(600000)) return run;
        run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.out = QString::fromUtf8(process.readAllStandardOutput());
        run.err = QString::fromUtf8(process.readAllStandardError());
        return run;
    }

    QString StorePath() const { return dir_.filePath(QStringLiteral("registry.reg")); }
    int Count(const QString& sql) { return dbtest::QueryInt(connection_, sql); }
    int Persons() { return Count(QStringLiteral("SELECT COUNT(*) AS N FROM PERSONS")); }
    int Samples() { return Count(QStringLiteral("SELECT COUNT(*) AS N FROM SAMPLES")); }
    int StateTotal() { return Count(QStringLiteral("SELECT COALESCE(SUM(STATE), 0) AS N FROM PERSONS")); }
    int SamplesOf(const QString& surname) {
        return dbtest::QueryInt(connection_,
                                QStringLiteral("SELECT COUNT(*) AS N FROM SAMPLES S JOIN PERSONS P ON P.PERSON_ID = "
                                               "S.PERSON_ID WHERE P.SURNAME = ?"),
                                {surname});
    }

    // The folder of one johns person with the given example pictures (enlarged).
    void WritePerson(const QString& folderName, const std::vector<cv::Mat>& pictures) {
        ASSERT_TRUE(testsupport::WritePersonFolder(root_, folderName, pictures));
    }

    std::unique_ptr<dbtest::TestDatabase> db_;
    database::DbConnection connection_;
    QTemporaryDir dir_;
    QString root_;
};

std::string Printed(const ToolRun& run) { return (run.out + run.err).toStdString(); }

// 55 pictures; every one gives a face. 53 are stored: two of Shimkus John's files
// (000378_02340151.jpg and 000378_03227610.jpg) are the same bytes, so the second is a duplicate
// (distance exactly 0); and his 000394_02340150.jpg is farther than 0.5 from one of the samples
// stored before it, so it is reported dissimilar and skipped.
constexpr int kJohnsStored = 53;

TEST_P(EnrolToolTest, JohnsFoldersEnrolOnceAndADryRunOrASecondRunAddsNothing) {
    ASSERT_EQ(testsupport::WriteJohnsFolders(root_), 55);

    const ToolRun dry = Enrol({QStringLiteral("--dry-run"), root_});
    EXPECT_EQ(dry.exitCode, 0) << Printed(dry);
    EXPECT_TRUE(dry.out.contains(
        QStringLiteral("Dry run, nothing written: 5 persons (5 new), %1 samples added").arg(kJohnsStored)))
        << Printed(dry);
    EXPECT_EQ(Persons(), 0);
    EXPECT_EQ(Samples(), 0);

    const ToolRun first = Enrol({root_});
    EXPECT_EQ(first.exitCode, 0) << Printed(first);
    EXPECT_EQ(Persons(), 5);
    EXPECT_EQ(Samples(), kJohnsStored);
    // Each stored sample counted once in its person's STATE, in the same transaction.
    EXPECT_EQ(StateTotal(), kJohnsStored);
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) AS N FROM PERSONS P WHERE STATE <> "
                                   "(SELECT COUNT(*) FROM SAMPLES S WHERE S.PERSON_ID = P.PERSON_ID)")),
              0);
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) AS N FROM PERSONS WHERE LIST_NUM = 0")), 5);
    EXPECT_EQ(SamplesOf(QStringLiteral("Savage")), 11);
    EXPECT_TRUE(first.out.contains(QStringLiteral("Savage John: new person, 11 added, 0 duplicates")))
        << Printed(first);
    EXPECT_TRUE(first.out.contains(QStringLiteral("Shimkus John: new person, 9 added, 1 duplicates, 1 dissimilar")))
        << Printed(first);
    EXPECT_TRUE(first.err.contains(QStringLiteral("Shimkus John/004.jpg: duplicate, skipped"))) << Printed(first);
    EXPECT_TRUE(first.err.contains(QStringLiteral("Shimkus John/009.jpg: dissimilar, skipped"))) << Printed(first);
    EXPECT_TRUE(first.out.contains(
        QStringLiteral("5 persons (5 new), %1 samples added, 1 duplicates, 1 dissimilar").arg(kJohnsStored)))
        << Printed(first);
    EXPECT_FALSE(first.out.contains(QChar(u'\r'))) << "no progress bar without a terminal";

    const ToolRun second = Enrol({root_});
    EXPECT_EQ(second.exitCode, 0) << Printed(second);
    EXPECT_TRUE(second.out.contains(
        QStringLiteral("5 persons (0 new), 0 samples added, %1 duplicates, 1 dissimilar").arg(kJohnsStored + 1)))
        << Printed(second);
    EXPECT_EQ(Persons(), 5);
    EXPECT_EQ(Samples(), kJohnsStored);
    EXPECT_EQ(StateTotal(), kJohnsStored);
}

TEST_P(EnrolToolTest, BadFilesAreReportedAndSkippedAndTheGoodOnesStored) {
    const auto people = testsupport::JohnsPeople();
    ASSERT_EQ(people.size(), 5u);
    const std::vector<std::string>& savage = people[1].pictures;
    ASSERT_EQ(people[1].folderName, QStringLiteral("Savage John"));
    const cv::Mat blank(400, 400, CV_8UC3, cv::Scalar(90, 100, 110));
    WritePerson(QStringLiteral("Savage John"),
                {testsupport::EnrolPicture(savage[0]), blank, testsupport::EnrolPicture(savage[1])});
    const QDir folder(QDir(root_).filePath(QStringLiteral("Savage John")));
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    write(QStringLiteral("garbage.jpg"), QByteArray("this is not a picture at all"));
    QFile whole(folder.filePath(QStringLiteral("000.jpg")));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    write(QStringLiteral("truncated.jpg"), whole.read(600));
    // A PNG header that claims 20000x20000 pixels.
    write(QStringLiteral("huge.png"),
          QByteArray::fromHex("89504e470d0a1a0a0000000d4948445200004e2000004e20080200000000000000"));
    // The example crop itself: 150x150, under the minimum.
    ASSERT_TRUE(QFile::copy(QString::fromStdString(savage[2]), folder.filePath(QStringLiteral("small.jpg"))));

    const ToolRun run = Enrol({root_});
    EXPECT_EQ(run.exitCode, 1) << Printed(run);
    EXPECT_EQ(SamplesOf(QStringLiteral("Savage")), 2);
    EXPECT_TRUE(run.err.contains(folder.filePath(QStringLiteral("001.jpg")) + QStringLiteral(": no face, skipped")))
        << Printed(run);
    for (const char* name : {"garbage.jpg", "truncated.jpg", "huge.png"})
        EXPECT_TRUE(run.err.contains(folder.filePath(QLatin1String(name)) + QStringLiteral(": unreadable, skipped")))
            << name << "\n"
            << Printed(run);
    EXPECT_TRUE(run.err.contains(folder.filePath(QStringLiteral("small.jpg")) + QStringLiteral(": too small, skipped")))
        << Printed(run);
    EXPECT_TRUE(
        run.out.contains(QStringLiteral("Savage John: new person, 2 added, 0 duplicates, 0 dissimilar, "
                                        "0 over the limit, 5 refused, 0 failed")))
        << Printed(run);
}

TEST_P(EnrolToolTest, AnExistingPersonIsExtendedUpToTheSampleLimitAndDissimilarOnesNeedTheOption) {
    const auto people = testsupport::JohnsPeople();
    const std::vector<std::string>& savage = people[1].pictures;
    database::PersonFields savageJohn;
    savageJohn.surname = QStringLiteral("Savage");
    savageJohn.forename = QStringLiteral("John");
    const int32_t existing = database::InsertPersonRow(connection_, database::WatchList::Gray, savageJohn);
    // 11 pictures and 9 re-framed ones, then another person's picture last.
    std::vector<cv::Mat> pictures;
    for (int i = 0; i < 20; ++i) pictures.push_back(testsupport::EnrolPicture(savage[i % 11], i / 11));
    WritePerson(QStringLiteral("Savage John"), pictures);
    WritePerson(QStringLiteral("Salley John"),
                {testsupport::EnrolPicture(people[0].pictures[0]), testsupport::EnrolPicture(savage[0])});

    const ToolRun run =
        Enrol({QStringLiteral("--list"), QStringLiteral("red"), QStringLiteral("--accept-dissimilar"), root_});
    EXPECT_EQ(run.exitCode, 0) << Printed(run);
    EXPECT_EQ(Persons(), 2);
    EXPECT_EQ(dbtest::QueryInt(connection_, QStringLiteral("SELECT COUNT(*) AS N FROM SAMPLES WHERE PERSON_ID = ?"),
                               {existing}),
              16);
    EXPECT_TRUE(
        run.out.contains(QStringLiteral("Savage John: existing person, 16 added, 0 duplicates, 0 dissimilar, "
                                        "4 over the limit")))
        << Printed(run);
    // The new person is on the chosen list; the existing one keeps his.
    EXPECT_EQ(Count(QStringLiteral("SELECT LIST_NUM AS N FROM PERSONS WHERE SURNAME = 'Salley'")), 1);
    EXPECT_EQ(Count(QStringLiteral("SELECT LIST_NUM AS N FROM PERSONS WHERE SURNAME = 'Savage'")), 2);
    EXPECT_EQ(SamplesOf(QStringLiteral("Salley")), 2) << "accepted although dissimilar";
    EXPECT_TRUE(run.err.contains(QStringLiteral("added although dissimilar"))) << Printed(run);

    // Without the option the other person's picture is reported and left out.
    QDir(QDir(root_).filePath(QStringLiteral("Savage John"))).removeRecursively();
    WritePerson(QStringLiteral("Simm John"),
                {testsupport::EnrolPicture(people[4].pictures[0]), testsupport::EnrolPicture(savage[0])});
    const ToolRun strict = Enrol({root_});
    EXPECT_EQ(strict.exitCode, 0) << Printed(strict);
    EXPECT_EQ(SamplesOf(QStringLiteral("Simm")), 1);
    EXPECT_TRUE(strict.out.contains(QStringLiteral("Simm John: new person, 1 added, 0 duplicates, 1 dissimilar")))
        << Printed(strict);
    EXPECT_TRUE(strict.out.contains(QStringLiteral("Salley John: existing person, 0 added, 2 duplicates")))
        << Printed(strict);
}

TEST_P(EnrolToolTest, TheStoredConnectionStringIsUsedAndBadArgumentsOrDatabasesFailClearly) {
    const auto people = testsupport::JohnsPeople();
    WritePerson(QStringLiteral("Simm John"), {testsupport::EnrolPicture(people[4].pictures[0])});
    // A folder name that is not "Surname Forename [Secondname]" is reported, not guessed at.
    WritePerson(QStringLiteral("Simm"), {testsupport::EnrolPicture(people[4].pictures[1])});
    // Nor is a name longer than its field holds (63 units): it would be cut and never found again.
    const QString tooLong = QString(64, QChar(u'Ж')) + QStringLiteral(" John");
    WritePerson(tooLong, {testsupport::EnrolPicture(people[4].pictures[2])});

    const ToolRun noStore = Enrol({root_}, false);
    EXPECT_EQ(noStore.exitCode, 2) << Printed(noStore);
    EXPECT_TRUE(noStore.err.contains(QStringLiteral("no DbConnectionString"))) << Printed(noStore);

    {
        platform::RegistryStore store(StorePath());
        namespace rn = settings::regnames;
        ASSERT_EQ(store.CreateKey(rn::kAppKey), 0);
        ASSERT_EQ(store.SetString(rn::kAppKey, rn::app::kDbConnectionString, db_->ConnectionString()), 0);
        ASSERT_EQ(store.Save(), 0);
    }
    const ToolRun stored = Enrol({root_}, false);
    EXPECT_EQ(stored.exitCode, 1) << Printed(stored);
    EXPECT_EQ(SamplesOf(QStringLiteral("Simm")), 1);
    EXPECT_EQ(Persons(), 1);
    EXPECT_TRUE(stored.out.contains(QStringLiteral("Simm: folder name not understood"))) << Printed(stored);
    EXPECT_TRUE(stored.out.contains(tooLong + QStringLiteral(": folder name not understood"))) << Printed(stored);

    // On a terminal a progress bar, cleared before each line.
    QProcess terminal;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("OSTROVID_REGISTRY"), StorePath());
    terminal.setProcessEnvironment(environment);
    terminal.start(QStringLiteral("script"),
                   {QStringLiteral("-qec"),
                    QStringLiteral("'%1' --data '%2' --dry-run '%3'")
                        .arg(QStringLiteral(OSTROVID_ENROL_TOOL), QStringLiteral(OSTROVID_DATA_DIR), root_),
                    QStringLiteral("/dev/null")});
    ASSERT_TRUE(terminal.waitForFinished(120000));
    const QString shown = QString::fromUtf8(terminal.readAllStandardOutput());
    EXPECT_TRUE(shown.contains(QStringLiteral("] 3/3"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("\r\033[KSimm John: existing person, 0 added, 1 duplicates")))
        << shown.toStdString();

    for (const QStringList& bad : {QStringList{}, QStringList{QStringLiteral("--list"), QStringLiteral("blue"), root_},
                                   QStringList{QStringLiteral("--frobnicate"), root_}, QStringList{root_, root_},
                                   QStringList{dir_.filePath(QStringLiteral("none"))}}) {
        const ToolRun run = Enrol(bad);
        EXPECT_EQ(run.exitCode, 2) << bad.join(u' ').toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("usage: ostrovid-enrol"))) << Printed(run);
    }

    const QString unreachable = GetParam() == DbProvider::SQLite
                                    ? QStringLiteral("Provider=SQLite;Data Source=") + dir_.filePath("missing.db")
                                    : QStringLiteral(
                                          "Provider=PostgreSQL;Data Source=127.0.0.1:1;User ID=x;"
                                          "Password=secret-word;Initial Catalog=none");
    const ToolRun run = Enrol({QStringLiteral("--db"), unreachable, root_}, false);
    EXPECT_EQ(run.exitCode, 1) << Printed(run);
    EXPECT_TRUE(run.err.contains(QStringLiteral("cannot connect to the database"))) << Printed(run);
    EXPECT_FALSE(run.err.contains(QStringLiteral("secret-word"))) << Printed(run);
    EXPECT_EQ(Persons(), 1);
}

INSTANTIATE_TEST_SUITE_P(Providers, EnrolToolTest, ::testing::Values(DbProvider::SQLite, DbProvider::PostgreSQL),
                         dbtest::ProviderTestName);

}  // namespace
