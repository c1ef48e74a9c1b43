#include "app/recognition/hog_face_detector.h"

#include <dlib/image_processing/frontal_face_detector.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <utility>

namespace recognition {
namespace {

using Detector = dlib::frontal_face_detector;
using Scanner = Detector::image_scanner_type;
using Pyramid = Scanner::pyramid_type;
// A weight vector's hits on one level: filter response and rectangle in picture coordinates.
using Hits = std::vector<std::pair<double, dlib::rectangle>>;

struct LevelScan {
    dlib::array2d<dlib::rgb_pixel> picture;  // level 0 reads the caller's picture instead
    dlib::array<dlib::array2d<float>> features;
    dlib::array2d<float> saliency;
    std::vector<Hits> hits;  // per weight vector
};
using LevelScans = std::vector<std::unique_ptr<LevelScan>>;

}  // namespace

struct HogFaceDetector::Model {
    Detector detector = dlib::get_frontal_face_detector();
};

// One picture's scan. The buffers stay from call to call, so frames of one size reuse them.
struct HogFaceDetector::Scan {
    LevelScans levels;
    unsigned long levelCount = 0;
    std::atomic<unsigned long> nextLevel{0};
    // Levels whose picture exists: level 0 always, then each one the picture maker finishes.
    std::atomic<unsigned long> picturesMade{0};
    std::atomic<bool> picturesFailed{false};
};

namespace {

// As dlib's create_fhog_pyramid counts them: at least one.
unsigned long LevelCount(const dlib::rectangle& whole, const Scanner& scanner) {
    const Pyramid pyramid{};
    unsigned long levels = 0;
    dlib::rectangle rect = whole;
    do {
        rect = pyramid.rect_down(rect);
        ++levels;
    } while (rect.width() >= scanner.get_min_pyramid_layer_width() &&
             rect.height() >= scanner.get_min_pyramid_layer_height() && levels < scanner.get_max_pyramid_levels());
    return levels;
}

// Every level's picture from the previous one, as dlib makes them, published one by one. Run by
// whoever takes level 1; the takers of later levels wait for their picture.
void MakePictures(const HogFaceDetector::Picture& picture, LevelScans& levels, unsigned long levelCount,
                  std::atomic<unsigned long>& made, std::atomic<bool>& failed) {
    const Pyramid pyramid{};
    try {
        for (unsigned long level = 1; level < levelCount; ++level) {
            if (level == 1)
                pyramid(picture, levels[1]->picture);
            else
                pyramid(levels[level - 1]->picture, levels[level]->picture);
            made.store(level + 1, std::memory_order_release);
            made.notify_all();
        }
    } catch (...) {
        // No waiter is left waiting for a picture that will not come; the exception ends the call.
        failed.store(true, std::memory_order_relaxed);
        made.store(levelCount, std::memory_order_release);
        made.notify_all();
        throw;
    }
}

// False when the picture will not come.
bool WaitForPicture(const std::atomic<unsigned long>& made, const std::atomic<bool>& failed, unsigned long level) {
    for (unsigned long now = made.load(std::memory_order_acquire); now <= level;
         now = made.load(std::memory_order_acquire))
        made.wait(now, std::memory_order_acquire);
    return !failed.load(std::memory_order_relaxed);
}

// One level's features and every weight vector's hits on them, as dlib's scan_fhog_pyramid
// computes them in load() and detect().
template <typename Image>
void ScanLevel(const Detector& detector, const Image& image, unsigned long level, double adjustThreshold,
               LevelScan& out) {
    const Scanner& scanner = detector.get_scanner();
    const auto& extractor = scanner.get_feature_extractor();
    const int cellSize = static_cast<int>(scanner.get_cell_size());
    const unsigned long filterRows = scanner.get_fhog_window_height();
    const unsigned long filterColumns = scanner.get_fhog_window_width();
    const unsigned long boxRows = filterRows - 2 * scanner.get_padding();
    const unsigned long boxColumns = filterColumns - 2 * scanner.get_padding();
    const long dimensions = scanner.get_num_dimensions();
    const Pyramid pyramid{};

    extractor(image, out.features, cellSize, static_cast<int>(filterRows), static_cast<int>(filterColumns));
    out.hits.resize(detector.num_detectors());
    for (unsigned long w = 0; w < detector.num_detectors(); ++w) {
        const auto& weights = detector.get_processed_w(w);
        const double thresh = weights.w(dimensions) + adjustThreshold;
        Hits& hits = out.hits[w];
        hits.clear();
        const dlib::rectangle area =
            dlib::impl::apply_filters_to_fhog(weights.get_detect_argument(), out.features, out.saliency);
        for (long r = area.top(); r <= area.bottom(); ++r) {
            for (long c = area.left(); c <= area.right(); ++c) {
                if (out.saliency[r][c] < thresh) continue;
                dlib::rectangle rect = extractor.feats_to_image(dlib::centered_rect(dlib::point(c, r), boxColumns, boxRows),
                                                                cellSize, static_cast<int>(filterRows),
                                                                static_cast<int>(filterColumns));
                rect = pyramid.rect_up(rect, static_cast<unsigned int>(level));
                hits.emplace_back(out.saliency[r][c], rect);
            }
        }
    }
}

// dlib's object_detector from here on: each weight vector's hits over all levels sorted by
// decreasing response, all of them sorted again by decreasing confidence, then every one that
// overlaps an earlier kept one dropped. Both sorts see their input in dlib's order, so even
// equal responses come out as dlib puts them.
std::vector<dlib::rect_detection> Merge(const Detector& detector, const LevelScans& levels, unsigned long levelCount) {
    const long dimensions = detector.get_scanner().get_num_dimensions();
    std::vector<dlib::rect_detection> all;
    Hits hits;
    for (unsigned long w = 0; w < detector.num_detectors(); ++w) {
        hits.clear();
        for (unsigned long level = 0; level < levelCount; ++level) {
            const Hits& levelHits = levels[level]->hits[w];
            hits.insert(hits.end(), levelHits.begin(), levelHits.end());
        }
        std::sort(hits.rbegin(), hits.rend(), dlib::impl::compare_pair_rect);
        const double thresh = detector.get_processed_w(w).w(dimensions);
        for (const auto& [response, rect] : hits) all.push_back(dlib::rect_detection{response - thresh, w, rect});
    }
    if (detector.num_detectors() > 1) std::sort(all.rbegin(), all.rend());
    const dlib::test_box_overlap& overlaps = detector.get_overlap_tester();
    std::vector<dlib::rect_detection> kept;
    for (const dlib::rect_detection& candidate : all) {
        const bool covered = std::any_of(kept.begin(), kept.end(), [&](const dlib::rect_detection& earlier) {
            return overlaps(earlier.rect, candidate.rect);
        });
        if (!covered) kept.push_back(candidate);
    }
    return kept;
}

}  // namespace

HogFaceDetector::HogFaceDetector() : model_(std::make_unique<Model>()), sharedScan_(std::make_unique<Scan>()) {
    if (std::thread::hardware_concurrency() > 1) helper_ = std::make_unique<HelperThread>();
}

HogFaceDetector::~HogFaceDetector() = default;

std::vector<dlib::rect_detection> HogFaceDetector::Detect(const Picture& picture, double adjustThreshold) {
    std::unique_lock lock(sharedScanMutex_, std::try_to_lock);
    if (lock.owns_lock()) {
        ScanLevels(picture, adjustThreshold, *sharedScan_, helper_.get());
        return Merge(model_->detector, sharedScan_->levels, sharedScan_->levelCount);
    }
    // Another call has the helper: scanning alone beats waiting for it.
    Scan own;
    ScanLevels(picture, adjustThreshold, own, nullptr);
    return Merge(model_->detector, own.levels, own.levelCount);
}

// The levels are taken in order from a shared counter, the largest first, by the caller and the
// helper alike; each level's results go to its own slot, so the threads share no output.
void HogFaceDetector::ScanLevels(const Picture& picture, double adjustThreshold, Scan& scan,
                                 HelperThread* helper) const {
    const Detector& detector = model_->detector;
    scan.levelCount = LevelCount(dlib::get_rect(picture), detector.get_scanner());
    while (scan.levels.size() < scan.levelCount) scan.levels.push_back(std::make_unique<LevelScan>());
    scan.nextLevel.store(0, std::memory_order_relaxed);
    scan.picturesMade.store(1, std::memory_order_relaxed);
    scan.picturesFailed.store(false, std::memory_order_relaxed);

    const HelperThread::Work work = [&] {
        for (unsigned long level = scan.nextLevel.fetch_add(1, std::memory_order_relaxed); level < scan.levelCount;
             level = scan.nextLevel.fetch_add(1, std::memory_order_relaxed)) {
            if (level == 0) {
                ScanLevel(detector, picture, 0, adjustThreshold, *scan.levels[0]);
                continue;
            }
            if (level == 1)
                MakePictures(picture, scan.levels, scan.levelCount, scan.picturesMade, scan.picturesFailed);
            else if (!WaitForPicture(scan.picturesMade, scan.picturesFailed, level))
                return;
            ScanLevel(detector, scan.levels[level]->picture, level, adjustThreshold, *scan.levels[level]);
        }
    };
    if (helper)
        helper->Share(work);
    else
        work();
}

}  // namespace recognition
