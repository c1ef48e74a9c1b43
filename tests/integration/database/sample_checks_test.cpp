// The checks on a new sample and the clustering of a person's samples, the latter also on real
// faces: the johns pictures (5 people x 11) described through the live face path.

#include "scripted_dialogs.h"

#include "app/database/sample_checks.h"
#include "app/database/sample_clusters.h"
#include "app/database/sample_texts.h"
#include "app/recognition/face_models.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

namespace dbtest {
namespace {

using namespace database;
using recognition::FaceDescriptor;

FaceDescriptor Axis(size_t axis, float length) {
    FaceDescriptor descriptor;
    descriptor.values[axis] = length;
    return descriptor;
}

TEST(CheckNewSample, AnswersAndQuestionTexts) {
    ScriptedDialogs dialogs;
    const FaceDescriptor candidate = Axis(0, 1.0f);
    EXPECT_EQ(CheckNewSample(dialogs, candidate, {}, DuplicateCheck::Detect), SampleDecision::Add);
    // 0.5 exactly is still alike.
    EXPECT_EQ(CheckNewSample(dialogs, candidate, {Axis(0, 1.5f), Axis(0, 0.7f)}, DuplicateCheck::Detect),
              SampleDecision::Add);
    EXPECT_TRUE(dialogs.questions.isEmpty());

    dialogs.answers = {Answer::Yes, Answer::No, Answer::Cancel};
    const std::vector<FaceDescriptor> one{Axis(1, 1.0f)};
    EXPECT_EQ(CheckNewSample(dialogs, candidate, one, DuplicateCheck::Detect), SampleDecision::Add);
    std::vector<FaceDescriptor> eleven(11, Axis(1, 1.0f));
    EXPECT_EQ(CheckNewSample(dialogs, candidate, eleven, DuplicateCheck::Detect), SampleDecision::Skip);
    std::vector<FaceDescriptor> twentyOne(21, Axis(0, 1.1f));
    twentyOne[4] = Axis(2, 1.0f);
    EXPECT_EQ(CheckNewSample(dialogs, candidate, twentyOne, DuplicateCheck::Detect), SampleDecision::Stop);
    EXPECT_EQ(dialogs.questions,
              (QStringList{
                  QStringLiteral("Новый образец непохож на 1 из 1 образца персоны.\nВсе равно добавить образец?"),
                  QStringLiteral("Новый образец непохож на 11 из 11 образцов персоны.\nВсе равно добавить образец?"),
                  QStringLiteral("Новый образец непохож на 1 из 21 образца персоны.\nВсе равно добавить образец?"),
              }));

    // A duplicate among unlike samples asks the duplicate question; ignored, only unlikeness counts.
    dialogs.questions.clear();
    const std::vector<FaceDescriptor> mixed{Axis(1, 1.0f), candidate, Axis(2, 1.0f)};
    CheckNewSample(dialogs, candidate, mixed, DuplicateCheck::Detect);
    CheckNewSample(dialogs, candidate, mixed, DuplicateCheck::Ignore);
    EXPECT_EQ(CheckNewSample(dialogs, candidate, {candidate}, DuplicateCheck::Ignore), SampleDecision::Add);
    EXPECT_EQ(dialogs.questions,
              (QStringList{
                  QStringLiteral("Этот образец персоны уже присутствует!\nВсе равно добавить образец?"),
                  QStringLiteral("Новый образец непохож на 2 из 3 образцов персоны.\nВсе равно добавить образец?"),
              }));
}

TEST(SampleTexts, PluralEndings) {
    EXPECT_EQ(SamplesCutNotice(1), QStringLiteral("1 образец вырезан в буфер."));
    EXPECT_EQ(SamplesCutNotice(12), QStringLiteral("12 образцов вырезано в буфер."));
    EXPECT_EQ(SamplesMovedEvent(22), QStringLiteral("22 образца перемещено"));
    EXPECT_EQ(SamplesMovedEvent(1), QStringLiteral("1 образец перемещен"));
    EXPECT_EQ(SnapshotsSavedEvent(1), QStringLiteral("Сохранен 1 образец персоны"));
    EXPECT_EQ(SnapshotsSavedEvent(5), QStringLiteral("Сохранено 5 образцов персоны"));
    EXPECT_EQ(SamplesDeletedEvent(11), QStringLiteral("Удалено 11 образцов персоны"));
    const PersonName name{QStringLiteral("Сидоров"), {}, QStringLiteral("Ильич")};
    EXPECT_EQ(SaveSnapshotsQuestion(1, name),
              QStringLiteral("Сохранить 1 выбранный снимок как образец персоны\nСидоров Ильич?"));
    EXPECT_EQ(SaveSnapshotsQuestion(7, name),
              QStringLiteral("Сохранить 7 выбранных снимков как образцы персоны\nСидоров Ильич?"));
    EXPECT_EQ(PasteSamplesQuestion(1, name),
              QStringLiteral("Вставить 1 вырезанный образец в набор образцов персоны\nСидоров Ильич?"));
    EXPECT_EQ(DeleteSamplesQuestion(5, name),
              QStringLiteral("Вы хотите удалить 5 образцов персоны:\nСидоров  Ильич\nиз базы данных?"));
}

TEST(ClusterSamples, FarApartSamplesAreOnePersonEachAndCloseOnesOne) {
    ScriptedDialogs dialogs;
    const std::vector<FaceDescriptor> far{Axis(0, 1.0f), Axis(1, 1.0f), Axis(2, 1.0f)};
    const SampleClusters clusters = ClusterSamples(far);
    EXPECT_EQ(clusters.count, 3);
    const std::vector<int> shown = ShowSampleClusters(dialogs, far);
    EXPECT_EQ(std::set<int>(shown.begin(), shown.end()), (std::set<int>{1, 2, 3}));
    EXPECT_EQ(dialogs.notices, QStringList{QStringLiteral("Предположительно образцы принадлежат 3 персонам!")});

    dialogs.notices.clear();
    const std::vector<FaceDescriptor> close{Axis(0, 1.0f), Axis(0, 1.2f), Axis(0, 1.4f)};
    EXPECT_EQ(ShowSampleClusters(dialogs, close), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(dialogs.notices, QStringList{QStringLiteral("Все образцы принадлежат одной персоне.")});

    // A damaged descriptor (NaN) is alone in its cluster, and one sample is no clustering at all.
    FaceDescriptor damaged;
    damaged.values.fill(std::nanf(""));
    const SampleClusters withDamaged = ClusterSamples({Axis(0, 1.0f), damaged});
    EXPECT_EQ(withDamaged.count, 2);
    EXPECT_EQ(withDamaged.labels.size(), 2u);
    dialogs.notices.clear();
    EXPECT_EQ(ShowSampleClusters(dialogs, {Axis(0, 1.0f)}), std::vector<int>{0});
    EXPECT_TRUE(dialogs.notices.isEmpty());
}

TEST(ClusterSamples, JohnsPicturesFallIntoFivePeople) {
    const char* dataDir = std::getenv("OSTROVID_DATA_DIR");
    QString error;
    const auto models =
        recognition::FaceModels::Load(QString::fromLocal8Bit(dataDir && *dataDir ? dataDir : OSTROVID_DATA_DIR), error);
    ASSERT_TRUE(models) << error.toStdString();
    std::vector<FaceDescriptor> descriptors;
    std::vector<std::string> people;
    for (const auto& person : std::filesystem::directory_iterator(std::string(DLIB_EXAMPLES_DIR) + "/johns")) {
        for (const auto& file : std::filesystem::directory_iterator(person.path())) {
            const cv::Mat picture = recognition::ReadPictureFile(QString::fromStdString(file.path().string()));
            const auto faces = models->DetectFaces(picture, 1);
            ASSERT_EQ(faces.size(), 1u) << file.path();
            const auto described = models->InterfaceDescriber().Describe(picture, faces[0]);
            ASSERT_TRUE(described) << file.path();
            descriptors.push_back(described->descriptor);
            people.push_back(person.path().filename().string());
        }
    }
    ASSERT_EQ(descriptors.size(), 55u);
    const SampleClusters clusters = ClusterSamples(descriptors);
    EXPECT_EQ(clusters.count, 5);
    // Each cluster is exactly one person's eleven pictures.
    std::map<int, std::set<std::string>> members;
    std::map<int, int> sizes;
    for (size_t i = 0; i < descriptors.size(); ++i) {
        members[clusters.labels[i]].insert(people[i]);
        ++sizes[clusters.labels[i]];
    }
    for (const auto& [label, names] : members) {
        EXPECT_EQ(names.size(), 1u) << "cluster " << label;
        EXPECT_EQ(sizes[label], 11) << "cluster " << label;
    }
}

}  // namespace
}  // namespace dbtest
