#pragma once
// Purpose: dlib's default frontal face detector (get_frontal_face_detector) with the pyramid
//   levels of one picture shared between the calling thread and a helper thread. The answer is
//   the one dlib's detector gives on one thread, bit for bit: the same rectangles in the same
//   order with the same confidences. Each level is scanned as dlib scans it, and the caller
//   merges the levels' hits, sorts them and suppresses overlaps in dlib's own order.
// Threads: any, also several at once: one call at a time gets the helper, the others scan alone
//   on their own thread with buffers of their own.
// Owns: the detector model, the helper thread and the buffers of the shared scan.
// Seen only by the face-analysis sources (it brings in dlib's image types).

#include "app/recognition/helper_thread.h"

#include <dlib/image_processing/object_detector.h>
#include <dlib/opencv/cv_image.h>

#include <memory>
#include <mutex>
#include <vector>

namespace recognition {

class HogFaceDetector {
public:
    using Picture = dlib::cv_image<dlib::rgb_pixel>;

    HogFaceDetector();
    ~HogFaceDetector();
    HogFaceDetector(const HogFaceDetector&) = delete;
    HogFaceDetector& operator=(const HogFaceDetector&) = delete;

    // As dlib's object_detector::operator()(picture, detections, adjustThreshold).
    std::vector<dlib::rect_detection> Detect(const Picture& picture, double adjustThreshold);

private:
    struct Model;
    struct Scan;
    void ScanLevels(const Picture& picture, double adjustThreshold, Scan& scan, HelperThread* helper) const;

    std::unique_ptr<const Model> model_;
    std::unique_ptr<HelperThread> helper_;  // none on a one-core machine
    std::mutex sharedScanMutex_;
    std::unique_ptr<Scan> sharedScan_;  // the buffers of the call that has the helper
};

}  // namespace recognition
