// Time of one frame-processing tick of the viewport at 640x480 on a real photo: detection,
// tracking, history, drawing and showing; the hand-over to the workers is left out (it does
// not wait for them). Beside it, measured in turns with the ticks so that a busy machine weighs on
// both alike, dlib's own detector on one thread on the same frame: the tick's median and 95th
// percentile are printed with their ratio to that baseline.

#include "app/camera/camera_work.h"
#include "app/recognition/face_models.h"
#include "app/viewport/viewport_processor.h"

#include <dlib/image_processing/frontal_face_detector.h>
#include <dlib/opencv/cv_image.h>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int kWarmUpTicks = 5;
constexpr int kTicks = 200;

struct Figures {
    double median, p95, min, max;
};

Figures Summarize(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    const size_t p95 = size_t(std::ceil(0.95 * double(ms.size()))) - 1;
    return {ms[ms.size() / 2], ms[p95], ms.front(), ms.back()};
}

template <typename Action>
double Milliseconds(Action&& action) {
    const auto start = std::chrono::steady_clock::now();
    action();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

struct QuietSurface : viewport::ViewportSurface {
    void ShowFaceCount(int) override {}
    void LayOutAgain(int, int) override {}
    cv::Size DisplayedSize() const override { return {640, 480}; }
    void ShowPicture(const cv::Mat&) override {}
    void ShowConnectingAnimation() override {}
    recognition::LabelPoint PictureOrigin() const override { return {}; }
    void MoveLabel(uint32_t, recognition::LabelPoint) override {}
    void SetLabelVisible(uint32_t, bool) override {}
};

struct QuietEvents : viewport::ViewportEvents {
    void FaceDetected(const recognition::Subject&, const cv::Mat&) override {}
    void UnrecognizedSubjectVanished(const recognition::Subject&, double) override {}
    void PresenceEnded(const recognition::Subject&, double) override {}
    void BroadcastCameraState(int) override {}
    // The costlier case: a frame copy every second.
    bool UnrecognizedActionsWanted() const override { return true; }
    bool TakeSnapshotRequest() override { return false; }
    void AddSnapshotFaces(const cv::Mat&, std::span<const recognition::FrameFace>) override {}
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

    // dlib's recipe: its own RGB copy of the frame and its detector on one thread.
    dlib::frontal_face_detector detector = dlib::get_frontal_face_detector();
    dlib::matrix<dlib::rgb_pixel> image;
    dlib::assign_image(image, dlib::cv_image<dlib::bgr_pixel>(frame));
    size_t baselineFaces = 0;

    std::vector<double> tickMs, baselineMs;
    for (int i = 0; i < kWarmUpTicks + kTicks; ++i) {
        {
            std::lock_guard<platform::CriticalSection> lock(work.pCvSream->frameLock);
            frame.copyTo(work.pCvSream->frame);
        }
        work.pCvSream->newFrameEvent.Set();
        const double tick = Milliseconds([&] { processor.Tick(true, viewport::ViewportSettings{}); });
        const double baseline = Milliseconds([&] { baselineFaces = detector(image).size(); });
        if (i < kWarmUpTicks) continue;
        tickMs.push_back(tick);
        baselineMs.push_back(baseline);
    }
    const Figures ticks = Summarize(tickMs);
    const Figures base = Summarize(baselineMs);
    std::printf("viewport tick 640x480, %d faces: median %.1f ms, 95th percentile %.1f ms, min %.1f ms, max %.1f ms "
                "(%d ticks)\n",
                faces, ticks.median, ticks.p95, ticks.min, ticks.max, kTicks);
    std::printf("dlib's detector alone, one thread, %zu faces: median %.1f ms, 95th percentile %.1f ms\n",
                baselineFaces, base.median, base.p95);
    std::printf("tick/baseline: median %.2f, 95th percentile %.2f\n", ticks.median / base.median,
                ticks.p95 / base.p95);
    return 0;
}
