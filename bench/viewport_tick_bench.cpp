// Time of one frame-processing tick of the viewport at 640x480 on a real photo: detection,
// tracking, history, drawing and showing; the hand-over to the workers is left out (it does
// not wait for them).

#include "app/camera/camera_work.h"
#include "app/recognition/face_models.h"
#include "app/viewport/viewport_processor.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

struct QuietSurface : viewport::ViewportSurface {
    void ShowFaceCount(int) override {}
    void LayOutAgain(int, int) override {}
    cv::Size DisplayedSize() const override { return {640, 480}; }
    void ShowPicture(const cv::Mat&) override {}
    void ShowConnectingAnimation() override {}
    recognition::LabelPoint PictureOrigin() const override { return {}; }
    void MoveLabel(const recognition::Subject&, recognition::LabelPoint) override {}
    void SetLabelVisible(const recognition::Subject&, bool) override {}
    bool TakeSnapshotRequest() override { return false; }
    void AddSnapshotFaces(const cv::Mat&, std::span<const recognition::FrameFace>) override {}
};

struct QuietEvents : viewport::ViewportEvents {
    void FaceDetected(const recognition::Subject&, const cv::Mat&) override {}
    void UnrecognizedSubjectVanished(const recognition::Subject&, double) override {}
    void PresenceEnded(const recognition::Subject&, double) override {}
    void BroadcastCameraState(int) override {}
};

}  // namespace

int main() {
    QString error;
    auto models = recognition::FaceModels::Load(QStringLiteral(OSTROVID_DATA_DIR), error);
    if (!models) {
        std::fprintf(stderr, "models: %s\n", qPrintable(error));
        return 1;
    }
    cv::Mat photo = recognition::ReadPictureFile(QStringLiteral(DLIB_EXAMPLES_DIR "/faces/bald_guys.jpg"));
    if (photo.empty()) return 1;
    cv::Mat frame;
    cv::resize(photo, frame, {640, 480}, 0, 0, cv::INTER_AREA);

    camera::CameraWork work;
    work.pCvSream = std::make_unique<camera::CvStream>();
    QuietSurface surface;
    QuietEvents events;
    const shell::Journal journal;  // no sink: a hang notice's entries are dropped
    double ole = 45000;
    int faces = 0;
    viewport::ViewportProcessor processor(
        work, surface, events, journal,
        [&](const cv::Mat& picture, int maxSubject) {
            auto found = models->DetectFaces(picture, maxSubject);
            faces = int(found.size());
            return found;
        },
        [](const cv::Mat&, std::span<recognition::DispatchSubject* const>, double) {},
        {[&] { return ole += 0.03 / 86400; }, [] { return int64_t(0); }});

    std::vector<double> ms;
    for (int i = 0; i < 40; ++i) {
        {
            std::lock_guard<platform::CriticalSection> lock(work.pCvSream->frameLock);
            frame.copyTo(work.pCvSream->frame);
        }
        work.pCvSream->newFrameEvent.Set();
        const auto start = std::chrono::steady_clock::now();
        processor.Tick(true, viewport::ViewportSettings{});
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("viewport tick 640x480, %d faces: median %.1f ms, min %.1f ms, max %.1f ms (%zu ticks)\n", faces,
                ms[ms.size() / 2], ms.front(), ms.back(), ms.size());
    return 0;
}
