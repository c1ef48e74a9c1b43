// Face analysis on the real models (Data/, made by scripts/prepare.sh) and Debian's example faces.

#include "app/recognition/face_models.h"
#include "app/recognition/matching.h"
#include "app/recognition/predict_pool.h"
#include "settings/settings_hub.h"
#include "tests/support/face_pictures.h"

#include <gtest/gtest.h>

#include <dlib/clustering/chinese_whispers.h>
#include <QFile>
#include <QTemporaryDir>
#include <opencv2/core.hpp>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>

namespace recognition {
namespace {

constexpr float kSamePerson = 0.6f;

QString DataDir() { return testsupport::FaceDataDir(); }

std::string Example(const std::string& relative) { return testsupport::DlibExample(relative); }

FaceModels* Models() { return testsupport::SharedFaceModels(); }

cv::Mat Picture(const std::string& relative) {
    cv::Mat picture = ReadPictureFile(QString::fromStdString(Example(relative)));
    EXPECT_FALSE(picture.empty()) << Example(relative);
    return picture;
}

int64_t Area(const FrameFace& face) { return int64_t{face.width} * face.height; }

TEST(FaceModelLoading, PrefersTheFivePointFileAndRefusesMissingOrDamagedFiles) {
    const QString data = DataDir();
    const QString network = data + "/" + kFaceNetworkFile;
    const QString landmarks68 = data + "/" + kShapePredictor68File;
    QString error;

    QTemporaryDir empty;
    EXPECT_FALSE(FaceModels::Load(empty.path(), error));
    EXPECT_TRUE(error.contains(kShapePredictor5File)) << error.toStdString();

    // Any file under the 5-point name is taken first; its own part count is the rule.
    QTemporaryDir fivePoint;
    ASSERT_TRUE(QFile::link(landmarks68, fivePoint.filePath(kShapePredictor5File)));
    error.clear();
    EXPECT_FALSE(FaceModels::Load(fivePoint.path(), error));
    EXPECT_TRUE(error.contains(kFaceNetworkFile)) << error.toStdString();
    ASSERT_TRUE(QFile::link(network, fivePoint.filePath(kFaceNetworkFile)));
    const auto loaded = FaceModels::Load(fivePoint.path(), error);
    ASSERT_TRUE(loaded) << error.toStdString();
    EXPECT_TRUE(loaded->LandmarkFile().endsWith(kShapePredictor5File));
    EXPECT_EQ(loaded->LandmarkCount(), 68u);

    // A cut network file and a landmark file in the network's place.
    QTemporaryDir damaged;
    ASSERT_TRUE(QFile::link(landmarks68, damaged.filePath(kShapePredictor68File)));
    QFile source(network);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    QFile cut(damaged.filePath(kFaceNetworkFile));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(source.read(source.size() / 2));
    cut.close();
    error.clear();
    EXPECT_FALSE(FaceModels::Load(damaged.path(), error));
    EXPECT_TRUE(error.contains("cannot be read")) << error.toStdString();
    ASSERT_TRUE(QFile::remove(damaged.filePath(kFaceNetworkFile)));
    ASSERT_TRUE(QFile::link(landmarks68, damaged.filePath(kFaceNetworkFile)));
    EXPECT_FALSE(FaceModels::Load(damaged.path(), error));
}

class BaldGuys : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        FaceModels* models = Models();
        if (!models) return;
        picture = new cv::Mat(Picture("faces/bald_guys.jpg"));
        faces = new std::vector<FrameFace>(models->DetectFaces(*picture, 64));
    }
    static void TearDownTestSuite() {
        delete picture;
        delete faces;
    }
    void SetUp() override { ASSERT_TRUE(Models() && faces); }
    static cv::Mat* picture;
    static std::vector<FrameFace>* faces;
};
cv::Mat* BaldGuys::picture = nullptr;
std::vector<FrameFace>* BaldGuys::faces = nullptr;

TEST_F(BaldGuys, FindsAllFacesLargestFirstAndKeepsTheLargestUpToMaxSubject) {
    ASSERT_EQ(faces->size(), 24u);
    for (size_t i = 1; i < faces->size(); ++i) EXPECT_GE(Area((*faces)[i - 1]), Area((*faces)[i])) << i;

    for (int maxSubject : {8, 1}) {
        const std::vector<FrameFace> kept = Models()->DetectFaces(*picture, maxSubject);
        ASSERT_EQ(kept.size(), static_cast<size_t>(maxSubject));
        for (size_t i = 0; i < kept.size(); ++i) {
            EXPECT_EQ(Area(kept[i]), Area((*faces)[i])) << i;
            EXPECT_NE(std::find(faces->begin(), faces->end(), kept[i]), faces->end());
        }
    }
    EXPECT_TRUE(Models()->DetectFaces(*picture, 0).empty());
}

TEST_F(BaldGuys, DescriptorsFallIntoFourPeopleOfSixPictures) {
    std::vector<FaceDescriptor> descriptors;
    for (const FrameFace& face : *faces) {
        const auto described = Models()->InterfaceDescriber().Describe(*picture, face);
        ASSERT_TRUE(described);
        EXPECT_EQ(described->chip.rows, kChipSize);
        EXPECT_EQ(described->chip.cols, kChipSize);
        EXPECT_EQ(described->chip.type(), CV_8UC3);
        descriptors.push_back(described->descriptor);
    }
    std::vector<dlib::sample_pair> edges;
    for (size_t i = 0; i < descriptors.size(); ++i)
        for (size_t j = i; j < descriptors.size(); ++j)
            if (DescriptorDistance(descriptors[i], descriptors[j]) < kSamePerson) edges.emplace_back(i, j);
    std::vector<unsigned long> labels;
    const unsigned long groups = dlib::chinese_whispers(edges, labels);
    EXPECT_EQ(groups, 4u);
    std::map<unsigned long, int> sizes;
    for (unsigned long label : labels) ++sizes[label];
    for (const auto& [label, size] : sizes) EXPECT_EQ(size, 6) << "group " << label;
}

TEST(Johns, SamePersonBelowAndDifferentPersonsAboveTheUsualThreshold) {
    FaceModels* models = Models();
    ASSERT_TRUE(models);
    struct Crop {
        std::string person;
        FaceDescriptor descriptor;
    };
    std::vector<Crop> crops;
    for (const auto& person : std::filesystem::directory_iterator(Example("johns"))) {
        for (const auto& file : std::filesystem::directory_iterator(person.path())) {
            const cv::Mat crop = ReadPictureFile(QString::fromStdString(file.path().string()));
            const std::vector<FrameFace> faces = models->DetectFaces(crop, 8);
            ASSERT_EQ(faces.size(), 1u) << file.path();
            const auto described = models->InterfaceDescriber().Describe(crop, faces[0]);
            ASSERT_TRUE(described) << file.path();
            crops.push_back({person.path().filename().string(), described->descriptor});
        }
    }
    ASSERT_EQ(crops.size(), 55u);
    int same = 0, different = 0;
    for (size_t i = 0; i < crops.size(); ++i) {
        for (size_t j = i + 1; j < crops.size(); ++j) {
            const float distance = DescriptorDistance(crops[i].descriptor, crops[j].descriptor);
            if (crops[i].person == crops[j].person) {
                ++same;
                EXPECT_LT(distance, kSamePerson) << crops[i].person << " " << i << " " << j;
            } else {
                ++different;
                EXPECT_GT(distance, kSamePerson) << crops[i].person << " / " << crops[j].person;
            }
        }
    }
    EXPECT_EQ(same, 5 * 55);
    EXPECT_EQ(different, 55 * 54 / 2 - 5 * 55);
}

// Pictures that are no face pictures at all end in "no face", never in a crash.
TEST(FaceAnalysisInput, OddFramesAndRectanglesGiveNothingOrAnAnswer) {
    FaceModels* models = Models();
    ASSERT_TRUE(models);
    FaceDescriber& describer = models->InterfaceDescriber();
    const FrameFace face{10, 10, 100, 100};
    for (const cv::Mat& odd : {cv::Mat(), cv::Mat(120, 160, CV_8UC1, cv::Scalar(7)), cv::Mat(120, 160, CV_16UC3)}) {
        EXPECT_TRUE(models->DetectFaces(odd, 8).empty());
        EXPECT_FALSE(describer.Describe(odd, face));
    }
    const cv::Mat gray(480, 640, CV_8UC3, cv::Scalar(128, 128, 128));
    EXPECT_TRUE(models->DetectFaces(gray, 8).empty());
    // Rectangles partly or wholly outside the frame, and empty ones, still get landmarks placed.
    for (const FrameFace& outside :
         {FrameFace{600, 440, 200, 200}, FrameFace{-300, -300, 100, 100}, FrameFace{5, 5, 0, 0}}) {
        const auto described = describer.Describe(gray, outside);
        if (described) {
            EXPECT_EQ(described->chip.rows, kChipSize);
        }
    }
}

class CollectingSink : public RecognizedDataSink {
public:
    bool Deliver(int, std::unique_ptr<RecognizedData> record) override {
        {
            std::lock_guard lock(mutex_);
            records.push_back(std::move(record));
        }
        arrived_.notify_all();
        return true;
    }
    bool WaitFor(size_t count) {
        std::unique_lock lock(mutex_);
        return arrived_.wait_for(lock, std::chrono::seconds(60), [&] { return records.size() >= count; });
    }
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<std::unique_ptr<RecognizedData>> records;
};

// A sample enrolled from the picture file and the same picture arriving as a camera frame (BGR,
// here a view into a wider buffer, as a cropped capture would be) through a worker's own network
// copy: the worker must find the sample at distance 0 and the same chip.
TEST(LiveAndEnrolmentPaths, GiveIdenticalDescriptorsForTheSamePicture) {
    FaceModels* models = Models();
    ASSERT_TRUE(models);
    const cv::Mat enrolment = Picture("faces/2008_002079.jpg");
    const std::vector<FrameFace> faces = models->DetectFaces(enrolment, 1);
    ASSERT_EQ(faces.size(), 1u);
    const auto sample = models->InterfaceDescriber().Describe(enrolment, faces[0]);
    ASSERT_TRUE(sample);

    cv::Mat wide(enrolment.rows, enrolment.cols + 37, CV_8UC3, cv::Scalar(0, 0, 255));
    cv::Mat frame = wide(cv::Rect(0, 0, enrolment.cols, enrolment.rows));
    enrolment.copyTo(frame);
    ASSERT_FALSE(frame.isContinuous());
    EXPECT_EQ(models->DetectFaces(frame, 1), faces);

    PersonModelSortedList persons;
    auto person = std::make_unique<PersonModel>();
    person->personId = 17;
    person->descriptors.Append(std::make_unique<FaceDescriptor>(sample->descriptor));
    persons.Append(std::move(person));
    platform::Event term(true, false);
    CollectingSink sink;
    settings::SettingsState state;
    state.recognition.LikelyDistance = 35;
    settings::SettingsHub hub(state);
    PredictPool pool(
        term, sink, [models](int) { return models->MakeDescriber(); }, persons, hub);
    ASSERT_TRUE(pool.Start());
    DispatchSubject subject{1, faces[0], 0, 0, 0};
    DispatchSubject* subjects[] = {&subject};
    pool.DispatchFaces(frame, subjects, 46000.0);
    ASSERT_TRUE(sink.WaitFor(1));
    term.Set();
    pool.Stop();

    const RecognizedData& result = *sink.records[0];
    EXPECT_EQ(result.personId, 17u);
    EXPECT_EQ(result.distance, 0.0f);
    ASSERT_TRUE(result.picture);
    EXPECT_EQ(cv::norm(*result.picture, sample->chip, cv::NORM_INF), 0.0);
}

}  // namespace
}  // namespace recognition
