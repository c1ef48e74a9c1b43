// Detection shared between two threads against dlib's own detector on one thread, DetectFaces
// against the plain rule it replaces (dlib's detector, largest first, landmarks placed on each
// face), and the landmark model's check at load; on Debian's example faces and on made-up frames.

#include "app/recognition/face_models.h"
#include "app/recognition/hog_face_detector.h"
#include "tests/support/face_pictures.h"

#include <gtest/gtest.h>

#include <dlib/image_processing.h>
#include <dlib/image_processing/frontal_face_detector.h>
#include <QFile>
#include <QTemporaryDir>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace recognition {
namespace {

using Picture = HogFaceDetector::Picture;

// dlib's detector on one thread: the answer the shared scan must give. Main thread only.
std::vector<dlib::rect_detection> DlibDetections(const cv::Mat& frame, double adjustThreshold) {
    static dlib::frontal_face_detector detector = dlib::get_frontal_face_detector();
    std::vector<dlib::rect_detection> found;
    detector(Picture(frame), found, adjustThreshold);
    return found;
}

void ExpectSameDetections(const std::vector<dlib::rect_detection>& ours, const std::vector<dlib::rect_detection>& dlibs,
                          const std::string& what) {
    ASSERT_EQ(ours.size(), dlibs.size()) << what;
    for (size_t i = 0; i < ours.size(); ++i) {
        EXPECT_EQ(ours[i].rect, dlibs[i].rect) << what << " #" << i;
        EXPECT_EQ(ours[i].detection_confidence, dlibs[i].detection_confidence) << what << " #" << i;
        EXPECT_EQ(ours[i].weight_index, dlibs[i].weight_index) << what << " #" << i;
    }
}

struct Frame {
    std::string name;
    cv::Mat picture;
};

std::vector<Frame> ExamplePictures() {
    std::vector<Frame> frames;
    for (const auto& entry : std::filesystem::directory_iterator(testsupport::DlibExample("faces"))) {
        if (entry.path().extension() != ".jpg") continue;
        cv::Mat picture = ReadPictureFile(QString::fromStdString(entry.path().string()));
        EXPECT_FALSE(picture.empty()) << entry.path();
        if (!picture.empty()) frames.push_back({entry.path().filename().string(), picture});
    }
    std::sort(frames.begin(), frames.end(), [](const Frame& a, const Frame& b) { return a.name < b.name; });
    return frames;
}

// Noise of odd and tiny sizes, grey frames, scaled pictures and a view into a wider buffer: the
// level count, the pyramid's rounding and the frame's stride all differ from the examples'.
std::vector<Frame> MadeUpFrames(const std::vector<Frame>& examples) {
    std::vector<Frame> frames;
    cv::RNG rng(20);
    for (const cv::Size size : {cv::Size(1, 1), cv::Size(3, 2), cv::Size(9, 17), cv::Size(63, 63), cv::Size(64, 64),
                                cv::Size(81, 65), cv::Size(80, 80), cv::Size(131, 97), cv::Size(320, 240),
                                cv::Size(641, 479)}) {
        cv::Mat noise(size, CV_8UC3);
        rng.fill(noise, cv::RNG::UNIFORM, 0, 256);
        frames.push_back({"noise " + std::to_string(size.width) + "x" + std::to_string(size.height), noise});
    }
    frames.push_back({"flat grey", cv::Mat(480, 640, CV_8UC3, cv::Scalar(128, 128, 128))});
    const cv::Mat crowd = ReadPictureFile(QString::fromStdString(testsupport::DlibExample("faces/bald_guys.jpg")));
    for (const cv::Size size : {cv::Size(640, 480), cv::Size(1280, 720), cv::Size(333, 251), cv::Size(97, 71)}) {
        cv::Mat scaled;
        cv::resize(crowd, scaled, size, 0, 0, cv::INTER_AREA);
        frames.push_back({"bald_guys.jpg at " + std::to_string(size.width) + "x" + std::to_string(size.height), scaled});
    }
    for (const Frame& example : examples) {
        cv::Mat grey, greyFrame;
        cv::cvtColor(example.picture, grey, cv::COLOR_BGR2GRAY);
        cv::cvtColor(grey, greyFrame, cv::COLOR_GRAY2BGR);
        frames.push_back({example.name + " in grey", greyFrame});
    }
    cv::Mat wide(examples.back().picture.rows, examples.back().picture.cols + 29, CV_8UC3, cv::Scalar(0, 0, 255));
    cv::Mat view = wide(cv::Rect(13, 0, examples.back().picture.cols, examples.back().picture.rows));
    examples.back().picture.copyTo(view);
    frames.push_back({examples.back().name + " in a wider buffer", view});
    return frames;
}

class SharedDetection : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        examples = new std::vector<Frame>(ExamplePictures());
        madeUp = new std::vector<Frame>(examples->empty() ? std::vector<Frame>{} : MadeUpFrames(*examples));
    }
    static void TearDownTestSuite() {
        delete examples;
        delete madeUp;
    }
    void SetUp() override { ASSERT_GE(examples->size(), 10u) << "dlib's example faces (libdlib19.1)"; }
    static std::vector<Frame>* examples;
    static std::vector<Frame>* madeUp;
};
std::vector<Frame>* SharedDetection::examples = nullptr;
std::vector<Frame>* SharedDetection::madeUp = nullptr;

// A lowered threshold lets many more windows through, near-equal responses among them, so that
// the merge and both sorts are tried on long lists.
TEST_F(SharedDetection, GivesDlibsDetectionsInDlibsOrderWithTheSameConfidences) {
    HogFaceDetector detector;
    size_t found = 0;
    for (const std::vector<Frame>* frames : {examples, madeUp}) {
        for (const Frame& frame : *frames) {
            for (const double adjust : {0.0, -0.8}) {
                const std::vector<dlib::rect_detection> dlibs = DlibDetections(frame.picture, adjust);
                ExpectSameDetections(detector.Detect(Picture(frame.picture), adjust), dlibs,
                                     frame.name + " adjusted by " + std::to_string(adjust));
                found += dlibs.size();
            }
        }
    }
    EXPECT_GT(found, 100u);
}

// The plain rule DetectFaces replaces: dlib's detector, the largest first, each face kept when the
// landmark model places its own number of parts on it, at most `limit` faces.
std::vector<FrameFace> PlainRule(const cv::Mat& frame, size_t limit, const dlib::shape_predictor& landmarks,
                                 bool largestFirst) {
    std::vector<dlib::rectangle> found;
    for (const dlib::rect_detection& detection : DlibDetections(frame, 0.0)) found.push_back(detection.rect);
    if (largestFirst)
        std::sort(found.begin(), found.end(),
                  [](const dlib::rectangle& a, const dlib::rectangle& b) { return a.area() > b.area(); });
    std::vector<FrameFace> faces;
    for (const dlib::rectangle& rect : found) {
        if (landmarks(Picture(frame), rect).num_parts() != landmarks.num_parts()) continue;
        faces.push_back(rect.is_empty() ? FrameFace{int32_t(rect.left()), int32_t(rect.top()), 0, 0}
                                        : FrameFace{int32_t(rect.left()), int32_t(rect.top()),
                                                    int32_t(rect.width()), int32_t(rect.height())});
        if (faces.size() == limit) break;
    }
    return faces;
}

TEST_F(SharedDetection, DetectFacesKeepsThePlainRulesFacesInItsOrder) {
    FaceModels* models = testsupport::SharedFaceModels();
    ASSERT_TRUE(models);
    dlib::shape_predictor landmarks;
    dlib::deserialize(QFile::encodeName(models->LandmarkFile()).toStdString()) >> landmarks;
    for (const std::vector<Frame>* frames : {examples, madeUp}) {
        for (const Frame& frame : *frames) {
            for (const int maxSubject : {1, 8, 64})
                EXPECT_EQ(models->DetectFaces(frame.picture, maxSubject),
                          PlainRule(frame.picture, size_t(maxSubject), landmarks, true))
                    << frame.name << ", at most " << maxSubject;
            EXPECT_EQ(models->DetectAllFaces(frame.picture), PlainRule(frame.picture, SIZE_MAX, landmarks, false))
                << frame.name;
        }
    }
}

// The window's thread, a sample picture and a tool's thread detecting at once: one of them has
// the helper, the others scan alone, and every answer stays the one-thread answer.
TEST_F(SharedDetection, CallsFromSeveralThreadsAtOnceGetTheirOwnAnswers) {
    FaceModels* models = testsupport::SharedFaceModels();
    ASSERT_TRUE(models);
    std::vector<const cv::Mat*> pictures;
    std::vector<std::vector<FrameFace>> expected;
    for (size_t i = 0; i < 6; ++i) {
        const cv::Mat& picture = (*examples)[i].picture;
        pictures.push_back(&picture);
        expected.push_back(models->DetectFaces(picture, 64));
    }
    constexpr int kThreads = 3;
    constexpr int kRounds = 4;
    std::vector<std::vector<std::vector<FrameFace>>> answers(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < kRounds; ++round)
                for (size_t i = 0; i < pictures.size(); ++i)
                    answers[t].push_back(models->DetectFaces(*pictures[(i + size_t(t)) % pictures.size()], 64));
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) {
        ASSERT_EQ(answers[t].size(), size_t(kRounds) * pictures.size());
        for (size_t k = 0; k < answers[t].size(); ++k)
            EXPECT_EQ(answers[t][k], expected[(k % pictures.size() + size_t(t)) % pictures.size()])
                << "thread " << t << ", call " << k;
    }
}

// A landmark model with no fitted trees places its initial shape: enough for the load check.
void WriteLandmarkModel(const QString& path, long parts) {
    dlib::matrix<float, 0, 1> shape(2 * parts);
    for (long i = 0; i < shape.size(); ++i) shape(i) = 0.1f * float(i % 7);
    const dlib::shape_predictor predictor(shape, {}, {});
    dlib::serialize(QFile::encodeName(path).toStdString()) << predictor;
}

TEST(LandmarkModelCheck, LoadRefusesAPartCountFacesCannotBeAlignedByAndNamesFileAndCount) {
    const QString network = testsupport::FaceDataDir() + "/" + kFaceNetworkFile;
    for (const long parts : {0L, 3L, 6L, 67L}) {
        QTemporaryDir data;
        const QString file = data.filePath(kShapePredictor5File);
        WriteLandmarkModel(file, parts);
        ASSERT_TRUE(QFile::link(network, data.filePath(kFaceNetworkFile)));
        QString error;
        EXPECT_FALSE(FaceModels::Load(data.path(), error)) << parts;
        EXPECT_TRUE(error.contains(file)) << error.toStdString();
        EXPECT_TRUE(error.contains(" " + QString::number(parts) + " ")) << error.toStdString();
    }

    // Five parts are taken, and a face found by the detector is described with them.
    QTemporaryDir data;
    WriteLandmarkModel(data.filePath(kShapePredictor5File), 5);
    ASSERT_TRUE(QFile::link(network, data.filePath(kFaceNetworkFile)));
    QString error;
    const auto models = FaceModels::Load(data.path(), error);
    ASSERT_TRUE(models) << error.toStdString();
    EXPECT_EQ(models->LandmarkCount(), 5u);
    const cv::Mat picture = ReadPictureFile(QString::fromStdString(testsupport::DlibExample("faces/2008_002079.jpg")));
    const std::vector<FrameFace> faces = models->DetectFaces(picture, 1);
    ASSERT_EQ(faces.size(), 1u);
    EXPECT_TRUE(models->InterfaceDescriber().Describe(picture, faces[0]));
}

}  // namespace
}  // namespace recognition
