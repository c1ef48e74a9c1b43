// Samples and photos against real databases of both providers: the operations with their STATE
// counting and transactions, and the operator flows around them.

#include "db_test_support.h"
#include "scripted_dialogs.h"

#include "app/database/photo_flows.h"
#include "app/database/photo_ops.h"
#include "app/database/picture_files.h"
#include "app/database/sample_clipboard.h"
#include "app/database/sample_creation.h"
#include "app/database/sample_ops.h"
#include "app/database/sample_removal.h"
#include "app/database/snapshot_samples.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

namespace dbtest {
namespace {

using namespace database;
using recognition::FaceDescriptor;

FaceDescriptor Descriptor(float seed) { return *FaceDescriptor::FromStorage(DescriptorBytes(seed)); }

// A descriptor at the given distance from `base` along the first axis.
FaceDescriptor Shifted(const FaceDescriptor& base, float distance) {
    FaceDescriptor shifted = base;
    shifted.values[0] += distance;
    return shifted;
}

cv::Mat Chip(int shade) { return cv::Mat(150, 150, CV_8UC3, cv::Scalar(shade, 255 - shade, 90)); }

class SamplesTest : public ProviderTest {
protected:
    void SetUp() override {
        ProviderTest::SetUp();
        if (IsSkipped()) return;
        connection_.Open(db_->ConnectionString());
        personA_ = AddPerson(connection_, QStringLiteral("Иванов"));
        personB_ = AddPerson(connection_, QStringLiteral("Петров"));
        ASSERT_TRUE(temp_.isValid());
        qputenv("TMPDIR", QFile::encodeName(temp_.path()));
    }
    void TearDown() override { qunsetenv("TMPDIR"); }

    int State(int personId) {
        return QueryInt(connection_, QStringLiteral("SELECT STATE AS N FROM PERSONS WHERE PERSON_ID=?"), {personId});
    }
    int Count(const QString& table, int personId) {
        return QueryInt(connection_, QStringLiteral("SELECT COUNT(*) AS N FROM %1 WHERE PERSON_ID=?").arg(table),
                        {personId});
    }
    int32_t Insert(int personId, const FaceDescriptor& descriptor) {
        int32_t id = 0;
        EXPECT_EQ(HandleInsertDbPersonSample(Target(), EncodeSampleChip(Chip(10)), descriptor, personId, &id),
                  DbOpDone);
        return id;
    }
    DbSession Target() { return {connection_, dialogs_, dialogs_, db_->ConnectionString(), journal_.Journal()}; }
    QStringList TempFiles() const { return QDir(temp_.path()).entryList(QDir::Files); }

    DbConnection connection_;
    ScriptedDialogs dialogs_;
    JournalRecorder journal_;
    QTemporaryDir temp_;
    int personA_ = 0;
    int personB_ = 0;
};

TEST_P(SamplesTest, InsertDeleteAndMoveCountStateAndKeepDescriptorsExact) {
    const FaceDescriptor first = Descriptor(1.0f);
    const int32_t id1 = Insert(personA_, first);
    const int32_t id2 = Insert(personA_, Descriptor(2.0f));
    EXPECT_GT(id2, id1);
    EXPECT_EQ(State(personA_), 2);

    std::vector<StoredSample> samples;
    ASSERT_EQ(HandleGetDbPersonSampleList(Target(), personA_, &samples), DbOpDone);
    ASSERT_EQ(samples.size(), 2u);
    EXPECT_EQ(samples[0].sampleId, id1);
    ASSERT_TRUE(samples[0].descriptor);
    EXPECT_EQ(*samples[0].descriptor, first);
    EXPECT_EQ(DecodePicture(samples[0].image).size(), QSize(150, 150));

    ASSERT_EQ(HandleDbPastePersonSample(Target(), personA_, personB_, id1), DbOpDone);
    EXPECT_EQ(State(personA_), 3);
    EXPECT_EQ(State(personB_), 1);
    EXPECT_EQ(Count(QStringLiteral("SAMPLES"), personB_), 1);

    ASSERT_EQ(HandleDeleteDbPersonSample(Target(), id2, personA_), DbOpDone);
    EXPECT_EQ(State(personA_), 4);
    EXPECT_EQ(Count(QStringLiteral("SAMPLES"), personA_), 0);

    // Moving a sample that is gone changes nothing and is not reported as done.
    dialogs_.retry = false;
    EXPECT_EQ(HandleDbPastePersonSample(Target(), personA_, personB_, id2), DbOpCancel);
    EXPECT_EQ(State(personA_), 4);
    EXPECT_EQ(State(personB_), 1);
}

TEST_P(SamplesTest, AFailedStepRollsBackTheWholeSampleChange) {
    // The STATE update after the insert fails: the inserted row must go with it.
    if (GetParam() == DbProvider::SQLite) {
        Exec(connection_, QStringLiteral("CREATE TRIGGER NO_STATE BEFORE UPDATE ON PERSONS "
                                         "BEGIN SELECT RAISE(ABORT, 'state frozen'); END"));
    } else {
        Exec(connection_, QStringLiteral("CREATE FUNCTION NO_STATE() RETURNS trigger AS $$ BEGIN "
                                         "RAISE EXCEPTION 'state frozen'; END $$ LANGUAGE plpgsql"));
        Exec(connection_, QStringLiteral("CREATE TRIGGER NO_STATE BEFORE UPDATE ON PERSONS "
                                         "FOR EACH ROW EXECUTE FUNCTION NO_STATE()"));
    }
    LogCapture log;
    int32_t id = 0;
    EXPECT_EQ(HandleInsertDbPersonSample(Target(), QByteArray("x"), Descriptor(1), personA_, &id), DbOpCancel);
    EXPECT_EQ(Count(QStringLiteral("SAMPLES"), personA_), 0);
    EXPECT_EQ(State(personA_), 0);
    ASSERT_EQ(dialogs_.questions.size(), 1);
    EXPECT_TRUE(dialogs_.questions[0].startsWith(kCaptionCommandError)) << dialogs_.questions[0].toStdString();
    EXPECT_TRUE(log.Text().contains(QStringLiteral("HandleInsertDbPersonSample() Exception: ")))
        << log.Text().toStdString();
    EXPECT_EQ(dialogs_.waitDepth, 0);
    // The connection is usable again afterwards, at its usual isolation level.
    EXPECT_EQ(connection_.IsolationLevel(), adXactReadCommitted);
    EXPECT_EQ(Count(QStringLiteral("SAMPLES"), personA_), 0);

    // A person deleted meanwhile: the insert fails on its key, nothing is left behind.
    EXPECT_EQ(HandleInsertDbPersonSample(Target(), QByteArray("x"), Descriptor(1), 999999, &id), DbOpCancel);
    EXPECT_EQ(QueryInt(connection_, QStringLiteral("SELECT COUNT(*) AS N FROM SAMPLES")), 0);
}

TEST_P(SamplesTest, DescriptorsOfAnotherSizeAreNoDescriptors) {
    Insert(personA_, Descriptor(1));
    Exec(connection_, QStringLiteral("INSERT INTO SAMPLES (PERSON_ID, BINDATA, DESCRIPTOR) VALUES (?, ?, ?)"),
         {personA_, QByteArray("garbage"), QByteArray(511, '\x01')});
    Insert(personA_, Descriptor(3));
    std::vector<StoredSample> samples;
    ASSERT_EQ(HandleGetDbPersonSampleList(Target(), personA_, &samples), DbOpDone);
    ASSERT_EQ(samples.size(), 3u);
    EXPECT_FALSE(samples[1].descriptor);
    EXPECT_TRUE(DecodePicture(samples[1].image).isNull());
    const auto descriptors = GetSampleDescriptorList(connection_, dialogs_, personA_);
    ASSERT_TRUE(descriptors);
    EXPECT_EQ(*descriptors, (std::vector<FaceDescriptor>{Descriptor(1), Descriptor(3)}));
}

TEST_P(SamplesTest, CutAndPasteMovesWithChecksLimitAndJournal) {
    const FaceDescriptor near = Descriptor(1);
    const int32_t a1 = Insert(personA_, near);
    const int32_t a2 = Insert(personA_, Shifted(near, 0.1f));
    const int32_t a3 = Insert(personA_, Shifted(near, 0.2f));
    SampleClipboard clipboard;
    clipboard.Cut(dialogs_, personA_, {QStringLiteral("Иванов"), QStringLiteral("Иван"), {}},
                  {{a1, near}, {a2, Shifted(near, 0.1f)}, {a3, Shifted(near, 0.2f)}});
    EXPECT_EQ(dialogs_.notices.last(), QStringLiteral("3 образца вырезано в буфер."));
    EXPECT_FALSE(CanPasteSamples(clipboard, personA_, 0));
    EXPECT_FALSE(CanPasteSamples(clipboard, personB_, 16));

    // B already holds a copy of a1's descriptor: the duplicate question comes, answered No.
    Insert(personB_, near);
    dialogs_.questions.clear();
    dialogs_.answers = {Answer::Yes, Answer::No};
    const PersonName b{QStringLiteral("Петров"), {}, QStringLiteral("Петрович")};
    const PasteOutcome outcome = PasteSamples(Target(), clipboard, personB_, b, 1, {near});
    EXPECT_EQ(outcome.result, FlowResult::Done);
    EXPECT_EQ(outcome.movedSampleIds, (std::vector<int32_t>{a2, a3}));
    ASSERT_EQ(dialogs_.questions.size(), 2);
    EXPECT_EQ(dialogs_.questions[0],
              QStringLiteral("Вставить 3 вырезанных образца в набор образцов персоны\nПетров Петрович?"));
    EXPECT_EQ(dialogs_.questions[1],
              QStringLiteral("Этот образец персоны уже присутствует!\nВсе равно добавить образец?"));
    EXPECT_EQ(State(personA_), 3 + 2);
    EXPECT_EQ(State(personB_), 1 + 2);
    EXPECT_EQ(Count(QStringLiteral("SAMPLES"), personB_), 3);
    EXPECT_TRUE(clipboard.Empty());
    EXPECT_EQ(
        journal_.Count(QStringLiteral("2 образца перемещено"), QStringLiteral("Иванов Иван  -> Петров  Петрович")), 1);

    // The limit counts what this run moved: 15 held, two cut, one moves.
    for (int i = 0; i < 12; ++i) Insert(personB_, Shifted(near, 0.01f * i));
    const int32_t a4 = Insert(personA_, Shifted(near, 0.3f));
    const int32_t a5 = Insert(personA_, Shifted(near, 0.4f));
    clipboard.Cut(dialogs_, personA_, {QStringLiteral("Иванов"), {}, {}},
                  {{a4, Shifted(near, 0.3f)}, {a5, Shifted(near, 0.4f)}});
    dialogs_.notices.clear();
    const PasteOutcome limited = PasteSamples(Target(), clipboard, personB_, b, 15, {});
    EXPECT_EQ(limited.movedSampleIds, (std::vector<int32_t>{a4}));
    EXPECT_EQ(dialogs_.notices, QStringList{QStringLiteral("Персона содержит максимальное число образцов (16)!")});
    EXPECT_EQ(Count(QStringLiteral("SAMPLES"), personB_), 16);
}

TEST_P(SamplesTest, DeletingSamplesAsksAndJournals) {
    const int32_t s1 = Insert(personA_, Descriptor(1));
    const int32_t s2 = Insert(personA_, Descriptor(2));
    const int32_t s3 = Insert(personA_, Descriptor(3));
    const PersonName a{QStringLiteral("Иванов"), QStringLiteral("Иван"), QStringLiteral("Иванович")};
    dialogs_.answers = {Answer::No};
    EXPECT_EQ(DeleteSamples(Target(), personA_, a, {s1}, SampleChoice::Current).result, FlowResult::Abandoned);
    EXPECT_EQ(dialogs_.questions.last(),
              QStringLiteral("Вы хотите удалить выбранный образец персоны:\nИванов Иван Иванович\nиз базы данных?"));
    EXPECT_EQ(State(personA_), 3);

    const RemovalOutcome removed = DeleteSamples(Target(), personA_, a, {s1, s2}, SampleChoice::Selected);
    EXPECT_EQ(removed.deletedSampleIds, (std::vector<int32_t>{s1, s2}));
    EXPECT_EQ(dialogs_.questions.last(),
              QStringLiteral("Вы хотите удалить 2 образца персоны:\nИванов Иван Иванович\nиз базы данных?"));
    EXPECT_EQ(State(personA_), 5);
    EXPECT_EQ(journal_.Count(QStringLiteral("Удалено 2 образца персоны"), QStringLiteral("Иванов Иван Иванович")), 1);
    DeleteSamples(Target(), personA_, a, {s3}, SampleChoice::Current);
    EXPECT_EQ(journal_.Count(QStringLiteral("Удален образец персоны"), QStringLiteral("Иванов Иван Иванович")), 1);
    EXPECT_EQ(Count(QStringLiteral("SAMPLES"), personA_), 0);
}

TEST_P(SamplesTest, SnapshotsSavedAfterChecksAndDeclinedOnesUnselected) {
    const FaceDescriptor base = Descriptor(1);
    std::vector<Snapshot> panel{{Chip(10), base, true},
                                {Chip(20), Shifted(base, 0.9f), false},
                                {Chip(30), Shifted(base, 0.8f), true},
                                {Chip(40), Shifted(base, 0.1f), true}};
    Insert(personA_, base);
    const PersonChooser chooser = [&](DbConnection&) {
        return std::optional<ChosenPerson>(
            ChosenPerson{personA_, 1, {QStringLiteral("Иванов"), QStringLiteral("Иван"), {}}});
    };
    // Yes to saving; the second selected one is unlike the stored sample: No.
    dialogs_.answers = {Answer::Yes, Answer::No};
    const SnapshotSaveOutcome outcome = SaveSnapshotsAsSamples(
        dialogs_, dialogs_, journal_.Journal(), db_->ConnectionString(), chooser, panel, SnapshotChoice::Selected);
    EXPECT_EQ(outcome.savedIndices, (std::vector<size_t>{0, 3}));
    EXPECT_FALSE(panel[2].selected);
    ASSERT_EQ(dialogs_.questions.size(), 2);
    EXPECT_EQ(dialogs_.questions[0], QStringLiteral("Сохранить 3 выбранных снимка как образцы персоны\nИванов Иван?"));
    EXPECT_EQ(dialogs_.questions[1],
              QStringLiteral("Новый образец непохож на 2 из 2 образцов персоны.\nВсе равно добавить образец?"));
    EXPECT_EQ(State(personA_), 3);
    EXPECT_EQ(journal_.Count(QStringLiteral("Сохранено 2 образца персоны"), QStringLiteral("Иванов Иван ")), 1);

    // A full person takes no further snapshot.
    const PersonChooser full = [&](DbConnection&) {
        return std::optional<ChosenPerson>(ChosenPerson{personA_, 16, {QStringLiteral("Иванов"), {}, {}}});
    };
    dialogs_.notices.clear();
    EXPECT_TRUE(SaveSnapshotsAsSamples(dialogs_, dialogs_, journal_.Journal(), db_->ConnectionString(), full, panel,
                                       SnapshotChoice::Current, 1)
                    .savedIndices.empty());
    EXPECT_EQ(dialogs_.notices,
              QStringList{QStringLiteral("Достигнут максимум (16) числа образцов для выбранной персоны.")});
    EXPECT_EQ(State(personA_), 3);
}

// A wizard stand-in that records the picture it was given and returns a fixed face.
struct RecordingWizard {
    std::optional<recognition::DescribedFace> face;
    QStringList paths;
    SampleWizard Function() {
        return [this](const QString& path) {
            paths.append(path);
            EXPECT_TRUE(QFile::exists(path));
            return face;
        };
    }
};

TEST_P(SamplesTest, SampleFromPictureChecksTheFileAndLeavesNoTemporaryFile) {
    RecordingWizard wizard;
    wizard.face = recognition::DescribedFace{Descriptor(5), Chip(50)};
    SampleOwner owner{personA_, {QStringLiteral("Иванов"), QStringLiteral("Иван"), QStringLiteral("Иванович")}, 0, {}};

    const QString small = temp_.filePath(QStringLiteral("small.png"));
    ASSERT_TRUE(QImage(199, 400, QImage::Format_RGB32).save(small));
    EXPECT_EQ(CreateSampleFromFile(Target(), wizard.Function(), owner, small).result, FlowResult::Abandoned);
    EXPECT_EQ(dialogs_.notices.last(), QStringLiteral("Размер изображения 199x400 слишком мал для создания образца!"));
    EXPECT_EQ(
        CreateSampleFromFile(Target(), wizard.Function(), owner, temp_.filePath(QStringLiteral("none.jpg"))).result,
        FlowResult::Abandoned);
    EXPECT_TRUE(wizard.paths.isEmpty());

    QImage picture(640, 480, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    const CreationOutcome added = CreateSampleFromImage(Target(), wizard.Function(), owner, picture);
    ASSERT_EQ(added.result, FlowResult::Done);
    ASSERT_EQ(wizard.paths.size(), 1);
    EXPECT_TRUE(QFileInfo(wizard.paths[0]).fileName().startsWith(QStringLiteral("ostv{")));
    EXPECT_EQ(State(personA_), 1);
    EXPECT_EQ(journal_.Count(QStringLiteral("Добавлен образец персоны"), QStringLiteral("Иванов Иван Иванович")), 1);

    // The same face again is a duplicate: declined, nothing stored.
    owner.sampleCount = 1;
    owner.descriptors = {Descriptor(5)};
    dialogs_.answers = {Answer::Cancel};
    EXPECT_EQ(CreateSampleFromImage(Target(), wizard.Function(), owner, picture).result, FlowResult::Abandoned);
    EXPECT_EQ(dialogs_.questions.last(),
              QStringLiteral("Этот образец персоны уже присутствует!\nВсе равно добавить образец?"));
    // A wizard that made nothing, and a failing database (person gone).
    wizard.face.reset();
    EXPECT_EQ(CreateSampleFromImage(Target(), wizard.Function(), owner, picture).result, FlowResult::Abandoned);
    wizard.face = recognition::DescribedFace{Descriptor(6), Chip(60)};
    owner.personId = 999999;
    owner.descriptors.clear();
    EXPECT_EQ(CreateSampleFromImage(Target(), wizard.Function(), owner, picture).result, FlowResult::CloseBrowser);
    EXPECT_EQ(State(personA_), 1);

    owner.sampleCount = 16;
    EXPECT_EQ(CreateSampleFromImage(Target(), wizard.Function(), owner, picture).result, FlowResult::LimitReached);
    QStringList left = TempFiles();
    left.removeAll(QStringLiteral("small.png"));
    EXPECT_TRUE(left.isEmpty()) << left.join(u' ').toStdString();
}

TEST_P(SamplesTest, PhotosAreScaledStoredListedDeletedAndLimitedToTen) {
    const QString tall = temp_.filePath(QStringLiteral("tall.PNG"));
    QImage picture(300, 1000, QImage::Format_RGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(tall));
    const PhotoOutcome added = AddPhotoFromFile(Target(), personA_, 0, tall);
    ASSERT_EQ(added.result, FlowResult::Done);
    EXPECT_TRUE(added.image.startsWith("\x89PNG"));

    std::vector<StoredPhoto> photos;
    ASSERT_EQ(HandleGetDbPersonPhotoList(Target(), personA_, &photos), DbOpDone);
    ASSERT_EQ(photos.size(), 1u);
    EXPECT_EQ(photos[0].photoId, added.photoId);
    EXPECT_EQ(DecodePicture(photos[0].image).size(), QSize(120, 400));
    EXPECT_EQ(State(personA_), 0);

    EXPECT_EQ(AddPhotoFromFile(Target(), personA_, 10, tall).result, FlowResult::LimitReached);
    EXPECT_EQ(AddPhotoFromImage(Target(), personA_, 10, picture).result, FlowResult::LimitReached);
    const QString broken = temp_.filePath(QStringLiteral("broken.jpg"));
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("\xff\xd8 not a picture") > 0);
    file.close();
    EXPECT_EQ(AddPhotoFromFile(Target(), personA_, 1, broken).result, FlowResult::Abandoned);
    EXPECT_EQ(dialogs_.notices.last(), QStringLiteral("Ошибка загрузки графического файла '%1'").arg(broken));
    EXPECT_EQ(Count(QStringLiteral("PHOTO"), personA_), 1);

    const PersonName a{QStringLiteral("Иванов"), {}, {}};
    dialogs_.answers = {Answer::No};
    EXPECT_EQ(DeletePersonPhoto(Target(), a, added.photoId), FlowResult::Abandoned);
    EXPECT_EQ(dialogs_.questions.last(),
              QStringLiteral("Вы хотите удалить выбранное фото персоны:\nИванов  \nиз базы данных?"));
    EXPECT_EQ(DeletePersonPhoto(Target(), a, added.photoId), FlowResult::Done);
    ASSERT_EQ(HandleGetDbChoosePersonPhotoList(Target(), personA_, &photos), DbOpDone);
    EXPECT_TRUE(photos.empty());
}

INSTANTIATE_TEST_SUITE_P(Providers, SamplesTest, ::testing::Values(DbProvider::SQLite, DbProvider::PostgreSQL),
                         ProviderTestName);

}  // namespace
}  // namespace dbtest
