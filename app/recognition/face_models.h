#pragma once
// The process-wide face models and the two analysis stages built on them: detection (where are
// the faces of a frame) and description (the descriptor and chip of one face).
//
// Frames are 8-bit three-channel OpenCV matrices in the capture's byte order (blue, green, red).
// They are handed to dlib without conversion or copy and read as (red, green, blue); stored
// samples and live faces both go through this same wrapping, which keeps them comparable.
// No dlib header is seen from here: only face_models.cpp and face_network.cpp compile dlib.

#include "app/recognition/face_describer.h"
#include "app/recognition/frame_face.h"

#include <QString>
#include <opencv2/core/mat.hpp>

#include <memory>
#include <optional>
#include <vector>

namespace recognition {

class FaceNetwork;
class FaceNetworkPool;

inline constexpr char kShapePredictor5File[] = "shape_predictor_5_face_landmarks.dat";
inline constexpr char kShapePredictor68File[] = "shape_predictor_68_face_landmarks.dat";
inline constexpr char kFaceNetworkFile[] = "dlib_face_recognition_resnet_model_v1.dat";
inline constexpr int kChipSize = 150;
inline constexpr double kChipPadding = 0.25;

// How many copies of the descriptor network the describers from MakeDescriber share at most.
struct PooledNetworks {
    int count = 1;
    // One per core, plus one so that a worker handing its network back never leaves a core idle
    // while the next borrower wakes.
    static PooledNetworks ForThisMachine();
};

class FaceModels {
public:
    // Builds the detector and reads the landmark model (the 5-point file when present in
    // `dataDir`, else the 68-point one) and the descriptor network, which is only copied: by the
    // pool and by the interface describer, each when it first needs one. Nothing, with the reason
    // in `error`, when a file is missing or damaged or the landmark model places other than 5 or
    // 68 parts (faces are aligned by those).
    static std::unique_ptr<FaceModels> Load(const QString& dataDir, QString& error,
                                            PooledNetworks pooled = PooledNetworks::ForThisMachine());
    ~FaceModels();
    FaceModels(const FaceModels&) = delete;
    FaceModels& operator=(const FaceModels&) = delete;

    // The landmark model's own part count, 5 or 68: a face is described only when it gets exactly
    // this many, which dlib's predictor always places.
    unsigned long LandmarkCount() const;
    QString LandmarkFile() const;

    // Faces by decreasing area, at most maxSubject of them, each with its landmarks placed.
    // Any thread, also several at once; one call at a time gets the detector's helper thread.
    std::vector<FrameFace> DetectFaces(const cv::Mat& frame, int maxSubject);

    // Every face with its landmarks placed, in the detector's own order and without a limit: the
    // faces an operator picks one from for a sample. Any thread, as above.
    std::vector<FrameFace> DetectAllFaces(const cv::Mat& picture);

    // The describer of the user-interface thread (snapshot panel, sample creation): one thread
    // at a time (checked). Its own copy of the network, made at its first face, so that it never
    // waits behind the workers.
    FaceDescriber& InterfaceDescriber();

    // A describer for a thread of its own (a prediction worker, the snapshot thread): its chips go
    // through the pooled networks, alone or with other describers' chips in one call, so any
    // number of them share the pool.
    // Its Describe throws std::bad_alloc when the pool's first network does not fit in memory.
    std::unique_ptr<FaceDescriber> MakeDescriber() const;

    // The face's descriptor and chip through `network`, which the calling thread must own.
    // Nothing when the face's landmarks cannot be placed.
    std::optional<DescribedFace> DescribeFace(const cv::Mat& frame, const FrameFace& face, FaceNetwork& network) const;
    // The same through a network borrowed from `networks` for the network call alone.
    std::optional<DescribedFace> DescribeFace(const cv::Mat& frame, const FrameFace& face,
                                              FaceNetworkPool& networks) const;

private:
    struct Models;
    enum class FaceOrder { LargestFirst, AsDetected };
    explicit FaceModels(std::unique_ptr<Models> models);
    // The detector's faces in `order`, at most `limit` of them.
    std::vector<FrameFace> Detect(const cv::Mat& frame, FaceOrder order, size_t limit);
    // Landmarks and chip of `face`, then the descriptor through `network.Describe(chip)`.
    template <typename Network>
    std::optional<DescribedFace> DescribeWith(const cv::Mat& frame, const FrameFace& face, Network& network) const;
    std::unique_ptr<Models> models_;
};

// A picture file for enrolment, in the same byte order as a captured frame; empty when the file
// cannot be read or decoded.
cv::Mat ReadPictureFile(const QString& path);

}  // namespace recognition
