// The working set that synchronization passes build from runs of samples equals the one the
// person-by-person rule builds, on both providers: over a random history of changes, around a
// broken sample, and when the database changes while a pass reads it.

#include "db_test_support.h"
#include "person_by_person.h"

#include "app/database/db_operation.h"
#include "app/database/model_sync.h"
#include "platform/fixedtext.h"
#include "settings/settings_hub.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

namespace dbtest {
namespace {

using namespace database;
using recognition::PersonModel;
using recognition::PersonModelSortedList;

const QString kActualize = QStringLiteral("Актуализация моделей");

// A sample and the STATE + 1 that goes with it, in the caller's transaction.
void InsertSample(DbConnection& writer, int personId, const QByteArray& descriptor) {
    Exec(writer, QStringLiteral("INSERT INTO SAMPLES (PERSON_ID, BINDATA, DESCRIPTOR) VALUES (?, ?, ?)"),
         {personId, QByteArray("img"), descriptor});
    Exec(writer, QStringLiteral("UPDATE PERSONS SET STATE = STATE + 1 WHERE PERSON_ID = ?"), {personId});
}

// Runs changes in one transaction (thousands of single commits would make the test slow).
template <typename Changes>
void InTransaction(DbConnection& writer, Changes&& changes) {
    DbTransaction transaction(writer);
    transaction.Begin();
    changes();
    transaction.Commit();
}

// What the journal must say about a pass that took the working set from `before` to `after`
// without errors, by the rule: a person whose STATE changed had its samples reloaded, one with
// the same STATE and other fields only had its parameters updated.
struct ExpectedReport {
    int removed = 0;
    int paramsUpdated = 0;
    int samplesUpdated = 0;
    int added = 0;
};

bool SameFields(const PersonModel& a, const PersonModel& b) {
    using platform::FromFixed;
    return a.listNumber == b.listNumber && FromFixed(a.surname) == FromFixed(b.surname) &&
           FromFixed(a.forename) == FromFixed(b.forename) && FromFixed(a.secondName) == FromFixed(b.secondName) &&
           FromFixed(a.alias) == FromFixed(b.alias) && FromFixed(a.externalKey) == FromFixed(b.externalKey) &&
           a.gender == b.gender && a.dateOfBirth == b.dateOfBirth && FromFixed(a.speech) == FromFixed(b.speech);
}

ExpectedReport Difference(const PersonModelSortedList& before, const PersonModelSortedList& after) {
    ExpectedReport report;
    for (const auto& old : before) {
        if (after.Find(old->personId) == nullptr) ++report.removed;
    }
    for (const auto& model : after) {
        const PersonModel* old = before.Find(model->personId);
        if (old == nullptr) {
            ++report.added;
        } else if (old->state != model->state) {
            ++report.samplesUpdated;
        } else if (!SameFields(*old, *model)) {
            ++report.paramsUpdated;
        }
    }
    return report;
}

// A synchronizer whose frame can change the database while a pass reads the persons' rows.
class ChangingFrame : public FrameRecorder {
public:
    using FrameRecorder::FrameRecorder;
    void PersonsProgress(int done, int total) override {
        FrameRecorder::PersonsProgress(done, total);
        if (onProgress) onProgress(done);
    }
    std::function<void(int done)> onProgress;
};

class SyncLoadTest : public ProviderTest {
protected:
    void SetUp() override {
        ProviderTest::SetUp();
        if (IsSkipped()) return;
        writer_.Open(db_->ConnectionString());
    }

    void Pass() {
        DbConnection connection;
        connection.Open(db_->ConnectionString());
        sync_.ActualizePersonModelList(connection);
    }

    int Reported(const QString& description) const { return journal_.Count(kActualize, description); }

    void ExpectReported(const ExpectedReport& expected) const {
        const auto check = [this](int count, QString (*text)(int)) {
            if (count != 0) {
                EXPECT_EQ(Reported(text(count)), 1) << text(count).toStdString();
            }
        };
        check(expected.removed, ModelsRemovedText);
        check(expected.paramsUpdated, ModelParamsUpdatedText);
        check(expected.samplesUpdated, ModelSamplesUpdatedText);
        check(expected.added, ModelsAddedText);
        const int reports = (expected.removed != 0) + (expected.paramsUpdated != 0) + (expected.samplesUpdated != 0) +
                            (expected.added != 0);
        EXPECT_EQ(static_cast<int>(journal_.Entries().size()), reports);
    }

    // A person with random texts (some as long as the columns allow, one more than the fields hold),
    // list, gender and date.
    int NewPerson() {
        const int id = AddPerson(writer_, Text(1 + Pick(64)), Pick(3), Pick(2));
        Exec(writer_,
             QStringLiteral("UPDATE PERSONS SET FORENAME = ?, SECONDNAME = ?, ALIAS = ?, EXT_KEY = ?, SPEECH = ? "
                            "WHERE PERSON_ID = ?"),
             {Pick(4) == 0 ? QVariant() : QVariant(Text(Pick(65))), Text(Pick(10)), Text(Pick(17)), Text(Pick(33)),
              Pick(3) == 0 ? QVariant() : QVariant(Text(Pick(257))), id});
        if (Pick(2) == 0) {
            Exec(writer_, QStringLiteral("UPDATE PERSONS SET DateOfBirth = ? WHERE PERSON_ID = ?"),
                 {30000.0 + Pick(20000), id});
        }
        live_.push_back(id);
        return id;
    }
    void AddSamples(int person, int count) {
        for (int i = 0; i < count; ++i) InsertSample(writer_, person, DescriptorBytes(static_cast<float>(++seed_)));
    }
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
    int AnyPerson() { return live_[static_cast<size_t>(Pick(static_cast<int>(live_.size())))]; }
    QString Text(int length) {
        static const QString letters = QStringLiteral("abcXYZабвгдЖЁЯ ");
        QString text;
        for (int i = 0; i < length; ++i) text.append(letters[Pick(static_cast<int>(letters.size()))]);
        return text;
    }

    // One round of random changes of every kind the synchronizer tells apart.
    void RandomChanges() {
        InTransaction(writer_, [this] {
            for (int i = 0; i < 8; ++i) AddSamples(AnyPerson(), 1 + Pick(2));
            for (int i = 0; i < 4; ++i) {
                const int person = AnyPerson();
                Exec(writer_, QStringLiteral("DELETE FROM SAMPLES WHERE PERSON_ID = ?"), {person});
                Exec(writer_, QStringLiteral("UPDATE PERSONS SET STATE = STATE + 1 WHERE PERSON_ID = ?"), {person});
            }
            for (int i = 0; i < 6; ++i) {
                Exec(writer_, QStringLiteral("UPDATE PERSONS SET SURNAME = ?, LIST_NUM = ? WHERE PERSON_ID = ?"),
                     {Text(1 + Pick(8)), Pick(3), AnyPerson()});
            }
            // A sample moved to another person: both change, and the moved row keeps its id.
            for (int i = 0; i < 3; ++i) {
                const int from = AnyPerson();
                const int to = AnyPerson();
                Exec(writer_,
                     QStringLiteral("UPDATE SAMPLES SET PERSON_ID = ? WHERE SAMPLE_ID = (SELECT MIN(SAMPLE_ID) FROM "
                                    "SAMPLES WHERE PERSON_ID = ?)"),
                     {to, from});
                Exec(writer_, QStringLiteral("UPDATE PERSONS SET STATE = STATE + 1 WHERE PERSON_ID IN (?, ?)"),
                     {from, to});
            }
            // STATE alone: the samples are read again and found the same.
            Exec(writer_, QStringLiteral("UPDATE PERSONS SET STATE = STATE + 1 WHERE PERSON_ID = ?"), {AnyPerson()});
            for (int i = 0; i < 3; ++i) {
                const size_t at = static_cast<size_t>(Pick(static_cast<int>(live_.size())));
                Exec(writer_, QStringLiteral("DELETE FROM PERSONS WHERE PERSON_ID = ?"), {live_[at]});
                live_.erase(live_.begin() + static_cast<std::ptrdiff_t>(at));
            }
            for (int i = 0; i < 6; ++i) AddSamples(NewPerson(), Pick(3));
        });
    }

    LogCapture log_;
    JournalRecorder journal_;
    ChangingFrame frame_{journal_};
    platform::Event term_{true, false};
    PersonModelSortedList models_;
    settings::SettingsHub hub_;  // its passes are given their connections: the string stays empty
    ModelSynchronizer sync_{term_, frame_, journal_.Journal(), models_, hub_};
    DbConnection writer_;
    std::mt19937 random_{20261210};
    std::vector<int> live_;
    int seed_ = 0;
};

TEST_P(SyncLoadTest, RandomHistoryMatchesThePersonByPersonRule) {
    InTransaction(writer_, [this] {
        for (int i = 0; i < 300; ++i) AddSamples(NewPerson(), Pick(4) == 0 ? 0 : 1 + Pick(6));
    });
    // Runs of one person (as many queries as persons), short runs, and the whole set at once.
    for (size_t budget : {size_t{1}, size_t{7}, SampleRun::kRowBudget}) {
        SCOPED_TRACE(testing::Message() << "row budget " << budget);
        sync_.sampleRowBudget = budget;
        PersonModelSortedList before = CopyModels(models_);
        for (int round = 0; round < 3; ++round) {
            SCOPED_TRACE(round);
            journal_.Clear();
            Pass();
            const PersonModelSortedList expected = PersonByPersonModels(writer_);
            ExpectSameModels(models_, expected);
            ExpectReported(Difference(before, expected));
            before = CopyModels(expected);
            if (HasFatalFailure()) return;
            RandomChanges();
        }
    }
    EXPECT_EQ(sync_.PrevDataList.Count(), models_.Count());
}

// A broken sample in the middle of a run: the persons before it are applied, those from it on
// keep their models as they were, whatever changed for them.
TEST_P(SyncLoadTest, BrokenSampleStopsTheRunAtItsPerson) {
    std::vector<int> ids;
    InTransaction(writer_, [this, &ids] {
        for (int i = 0; i < 12; ++i) {
            ids.push_back(NewPerson());
            AddSamples(ids.back(), 2);
        }
    });
    Pass();
    ExpectSameModels(models_, PersonByPersonModels(writer_));

    std::vector<QVariant> broken{DescriptorBytes(99).left(511), DescriptorBytes(99) + QByteArray(1, '\x7f')};
    if (GetParam() == DbProvider::SQLite) broken.push_back(QStringLiteral("not binary"));
    for (const QVariant& bad : broken) {
        SCOPED_TRACE(bad.typeId() == QMetaType::QString ? -1 : static_cast<int>(bad.toByteArray().size()));
        const PersonModelSortedList before = CopyModels(models_);
        InTransaction(writer_, [&] {
            Exec(writer_, QStringLiteral("UPDATE PERSONS SET SURNAME = ? WHERE PERSON_ID = ?"),
                 {QStringLiteral("Before%1").arg(seed_), ids[1]});
            AddSamples(ids[3], 1);
            Exec(writer_, QStringLiteral("INSERT INTO SAMPLES (PERSON_ID, BINDATA, DESCRIPTOR) VALUES (?, ?, ?)"),
                 {ids[6], QByteArray("img"), bad});
            Exec(writer_, QStringLiteral("UPDATE PERSONS SET STATE = STATE + 1 WHERE PERSON_ID = ?"), {ids[6]});
            AddSamples(ids[8], 1);
            Exec(writer_, QStringLiteral("UPDATE PERSONS SET SURNAME = ? WHERE PERSON_ID = ?"),
                 {QStringLiteral("After%1").arg(seed_), ids[10]});
            Exec(writer_, QStringLiteral("DELETE FROM PERSONS WHERE PERSON_ID = ?"), {ids[11]});
        });
        journal_.Clear();
        Pass();

        PersonModelSortedList expected;
        const PersonModelSortedList now = PersonByPersonModels(writer_);
        for (const auto& model : before) {
            const bool beforeBroken = model->personId < static_cast<uint32_t>(ids[6]);
            const PersonModel* source = beforeBroken ? now.Find(model->personId) : model.get();
            ASSERT_NE(source, nullptr) << model->personId;
            expected.Append(CopyModel(*source));
        }
        ExpectSameModels(models_, expected);
        EXPECT_EQ(Reported(ModelParamsUpdatedText(1)), 1);
        EXPECT_EQ(Reported(ModelSamplesUpdatedText(1)), 1);
        EXPECT_EQ(journal_.Count(kActualize), 3) << "the error, one renamed and one reloaded person";

        // Without the broken sample the next pass catches up.
        InTransaction(writer_, [&] {
            Exec(writer_,
                 QStringLiteral("DELETE FROM SAMPLES WHERE SAMPLE_ID = (SELECT MAX(SAMPLE_ID) FROM SAMPLES WHERE "
                                "PERSON_ID = ?)"),
                 {ids[6]});
            Exec(writer_, QStringLiteral("UPDATE PERSONS SET STATE = STATE + 1 WHERE PERSON_ID = ?"), {ids[6]});
        });
        const PersonModelSortedList stopped = CopyModels(models_);
        journal_.Clear();
        Pass();
        const PersonModelSortedList caughtUp = PersonByPersonModels(writer_);
        ExpectSameModels(models_, caughtUp);
        ExpectReported(Difference(stopped, caughtUp));
        ids.pop_back();
        ids.push_back(NewPerson());
        AddSamples(ids.back(), 1);
    }
}

// Changes made after the persons were read: the samples are read after them, so a pass sees
// the samples of that moment with the STATE read before, and the next pass catches up.
TEST_P(SyncLoadTest, ChangesWhileAPassReadsAreCaughtUpByTheNext) {
    std::vector<int> ids;
    int silent = 0;  // no samples when the pass reads the persons, one when it reads the samples
    InTransaction(writer_, [&] {
        for (int i = 0; i < 30; ++i) {
            ids.push_back(NewPerson());
            AddSamples(ids.back(), 1 + i % 3);
            if (i == 4) silent = NewPerson();
        }
    });
    std::vector<PersonRow> rowsBefore = ReadPersonRows(writer_);
    int added = 0;
    frame_.onProgress = [&](int done) {
        if (done == 1) {
            // Before any sample is read.
            AddSample(writer_, ids[10], DescriptorBytes(500));
            Exec(writer_, QStringLiteral("UPDATE PERSONS SET SURNAME = ? WHERE PERSON_ID = ?"),
                 {QStringLiteral("Renamed"), ids[12]});
            Exec(writer_, QStringLiteral("DELETE FROM PERSONS WHERE PERSON_ID = ?"), {ids[14]});
            added = AddPerson(writer_, QStringLiteral("New"));
            AddSample(writer_, added, DescriptorBytes(501));
            AddSample(writer_, silent, DescriptorBytes(503));
        } else if (done == 20) {
            // Perhaps after these persons' samples were read.
            AddSample(writer_, ids[25], DescriptorBytes(502));
            Exec(writer_, QStringLiteral("UPDATE PERSONS SET SURNAME = ? WHERE PERSON_ID = ?"),
                 {QStringLiteral("Late"), ids[26]});
        }
    };
    log_.Mark();
    Pass();
    frame_.onProgress = nullptr;
    EXPECT_TRUE(log_.SinceMark().contains(
        QStringLiteral("Warning. Ни одного образца персоны ID=%1 не загружено!").arg(ids[14])));
    // The first change as the person-by-person rule sees it: rows from before, samples from after.
    const PersonModelSortedList firstSeen = LoadPersonByPerson(writer_, std::move(rowsBefore));
    ASSERT_EQ(models_.Count(), firstSeen.Count());
    for (const auto& model : firstSeen) {
        // The second change may come after a run read this person's samples.
        if (model->personId == static_cast<uint32_t>(ids[25])) continue;
        const PersonModel* loaded = models_.Find(model->personId);
        ASSERT_NE(loaded, nullptr) << model->personId;
        ExpectSameModel(*loaded, *model);
    }
    EXPECT_EQ(models_.Find(static_cast<uint32_t>(ids[10]))->descriptors.Count(), 3u);
    EXPECT_EQ(models_.Find(static_cast<uint32_t>(added)), nullptr);
    EXPECT_EQ(models_.Find(static_cast<uint32_t>(silent)), nullptr);

    journal_.Clear();
    Pass();
    ExpectSameModels(models_, PersonByPersonModels(writer_));
    EXPECT_EQ(Reported(ModelsAddedText(2)), 1) << "New and the silent one";
    EXPECT_EQ(Reported(ModelParamsUpdatedText(2)), 1) << "Renamed and Late";
    EXPECT_EQ(Reported(ModelSamplesUpdatedText(2)), 1);
    EXPECT_EQ(Reported(ModelsRemovedText(1)), 0) << "the deleted person never had a model";
}

// A pass's persons query costs enough to be compiled to machine code on every pass, which takes
// longer than running it; the pass turns that off on its connection.
TEST_P(SyncLoadTest, PostgresPassesPlanWithoutCompiling) {
    if (GetParam() != DbProvider::PostgreSQL) GTEST_SKIP() << "PostgreSQL only";
    DbConnection connection;
    connection.Open(db_->ConnectionString());
    DbCommand show(connection);
    show.SetCommandText(QStringLiteral("SHOW jit"));
    show.Execute(kExecSync);
    const QString before = ReadText(show.Recordset().Field(QStringLiteral("jit")));
    sync_.ActualizePersonModelList(connection);
    show.Execute(kExecSync);
    EXPECT_EQ(ReadText(show.Recordset().Field(QStringLiteral("jit"))), QStringLiteral("off"))
        << "was " << before.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Providers, SyncLoadTest, ::testing::Values(DbProvider::SQLite, DbProvider::PostgreSQL),
                         ProviderTestName);

}  // namespace
}  // namespace dbtest
