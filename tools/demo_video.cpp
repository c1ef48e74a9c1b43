#include "tools/demo_video.h"

#include <QSaveFile>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <cmath>
#include <numbers>

namespace demo {

namespace {

const cv::Scalar kBackground(110, 120, 130);
constexpr int kFaceGap = 40;
// How far a standing face sways, so that the view is not a still picture.
constexpr double kSway = 12;

int Frames(std::chrono::milliseconds span) { return int(span.count() * kFramesPerSecond / 1000); }

int SceneFrames(const SceneTiming& timing) {
    return Frames(timing.empty) + Frames(timing.enter) + Frames(timing.stay) + Frames(timing.leave);
}

enum class Side { Left, Right };

int Outside(Side side) { return side == Side::Left ? -kFaceSide : kVideoWidth; }

Side Opposite(Side side) { return side == Side::Left ? Side::Right : Side::Left; }

double Between(double from, double to, double share) { return from + (to - from) * share; }

// Copies the part of `face` that falls inside the frame.
void Paste(cv::Mat& frame, const cv::Mat& face, int left, int top) {
    const cv::Rect wanted(left, top, face.cols, face.rows);
    const cv::Rect inside = wanted & cv::Rect(0, 0, frame.cols, frame.rows);
    if (inside.empty()) return;
    face(cv::Rect(inside.x - left, inside.y - top, inside.width, inside.height)).copyTo(frame(inside));
}

// The left column of face k of a scene `step` frames after its empty view ended.
int FaceLeft(const SceneTiming& timing, int sceneNumber, size_t count, size_t k, int step) {
    const int row = int(count) * kFaceSide + (int(count) - 1) * kFaceGap;
    const int rest = (kVideoWidth - row) / 2 + int(k) * (kFaceSide + kFaceGap);
    const Side entry = count == 1 ? (sceneNumber % 2 == 0 ? Side::Left : Side::Right)
                                  : (k == 0 ? Side::Left : Side::Right);
    // One person walks through; two go back the way they came rather than through each other.
    const Side exit = count == 1 ? Opposite(entry) : entry;
    const int enter = Frames(timing.enter), stay = Frames(timing.stay), leave = Frames(timing.leave);
    if (step < enter) return int(Between(Outside(entry), rest, double(step + 1) / enter));
    step -= enter;
    if (step < stay) return int(rest + kSway * std::sin(2 * std::numbers::pi * step / stay));
    step -= stay;
    return int(Between(rest, Outside(exit), double(step + 1) / leave));
}

}  // namespace

std::vector<Scene> DemoScenes(const std::vector<DemoPerson>& cast) {
    const DemoPerson* green = nullptr;
    const DemoPerson* red = nullptr;
    const DemoPerson* gray = nullptr;
    std::vector<const DemoPerson*> unknown;
    for (const DemoPerson& person : cast) {
        if (person.cameraFaces.empty()) continue;
        switch (person.role) {
        case DemoRole::Green:
            green = &person;
            break;
        case DemoRole::Red:
            red = &person;
            break;
        case DemoRole::Gray:
            gray = &person;
            break;
        case DemoRole::Unknown:
            unknown.push_back(&person);
            break;
        }
    }
    std::vector<Scene> scenes;
    const auto face = [](const DemoPerson* person, size_t n) {
        return person->cameraFaces[n % person->cameraFaces.size()];
    };
    size_t nextUnknown = 0;
    const auto stranger = [&]() -> const DemoPerson* {
        return unknown.empty() ? nullptr : unknown[nextUnknown++ % unknown.size()];
    };
    // The green person comes first: the operator sees a recognition within seconds of the start.
    for (const DemoPerson* known : {green, red, gray}) {
        if (known != nullptr) scenes.push_back({{face(known, 0)}});
        if (const DemoPerson* other = stranger(); other != nullptr) scenes.push_back({{face(other, 0)}});
    }
    if (green != nullptr && !unknown.empty()) scenes.push_back({{face(green, 1), face(stranger(), 0)}});
    return scenes;
}

int FrameCount(const std::vector<Scene>& scenes, const SceneTiming& timing) {
    return int(scenes.size()) * SceneFrames(timing) + Frames(timing.empty);
}

cv::Mat VideoFrame(const std::vector<Scene>& scenes, const SceneTiming& timing, int index) {
    cv::Mat frame(kVideoHeight, kVideoWidth, CV_8UC3, kBackground);
    const int sceneNumber = index / SceneFrames(timing);
    if (index < 0 || sceneNumber >= int(scenes.size())) return frame;
    const int step = index % SceneFrames(timing) - Frames(timing.empty);
    if (step < 0) return frame;
    const Scene& scene = scenes[size_t(sceneNumber)];
    for (size_t k = 0; k < scene.faces.size(); ++k) {
        cv::Mat face;
        cv::resize(scene.faces[k], face, cv::Size(kFaceSide, kFaceSide), 0, 0, cv::INTER_AREA);
        Paste(frame, face, FaceLeft(timing, sceneNumber, scene.faces.size(), k, step), (kVideoHeight - kFaceSide) / 2);
    }
    return frame;
}

bool WriteMjpeg(const std::vector<Scene>& scenes, const SceneTiming& timing, const QString& file, QString& error) {
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) {
        error = QStringLiteral("cannot write %1: %2").arg(file, out.errorString());
        return false;
    }
    const int count = FrameCount(scenes, timing);
    for (int i = 0; i < count; ++i) {
        std::vector<unsigned char> jpeg;
        cv::imencode(".jpg", VideoFrame(scenes, timing, i), jpeg, {cv::IMWRITE_JPEG_QUALITY, 85});
        if (out.write(reinterpret_cast<const char*>(jpeg.data()), qint64(jpeg.size())) != qint64(jpeg.size())) {
            error = QStringLiteral("cannot write %1: %2").arg(file, out.errorString());
            return false;
        }
    }
    if (!out.commit()) {
        error = QStringLiteral("cannot write %1: %2").arg(file, out.errorString());
        return false;
    }
    return true;
}

}  // namespace demo
