#include "app/recognition/face_models.h"

#include "app/recognition/face_network.h"
#include "app/recognition/face_network_pool.h"
#include "app/recognition/hog_face_detector.h"
#include "platform/contract.h"

#include <dlib/image_processing.h>
#include <dlib/opencv/cv_image.h>
#include <dlib/opencv/to_open_cv.h>
#include <QDir>
#include <QFile>
#include <opencv2/imgcodecs.hpp>

#include <algorithm>
#include <atomic>
#include <limits>
#include <thread>

extern "C" void openblas_set_num_threads(int threads);

namespace recognition {
namespace {

constexpr double kDetectorAdjustment = 0.0;

// The frame's own pixel buffer, read by dlib as RGB: the first byte of a pixel counts as red.
dlib::cv_image<dlib::rgb_pixel> WrapFrame(const cv::Mat& frame) { return dlib::cv_image<dlib::rgb_pixel>(frame); }

bool IsPicture(const cv::Mat& frame) { return !frame.empty() && frame.type() == CV_8UC3 && frame.dims == 2; }

FrameFace ToFrameFace(const dlib::rectangle& r) {
    const auto left = static_cast<int32_t>(r.left());
    const auto top = static_cast<int32_t>(r.top());
    if (r.is_empty()) return FrameFace{left, top, 0, 0};
    return FrameFace{left, top, static_cast<int32_t>(r.width()), static_cast<int32_t>(r.height())};
}

dlib::rectangle ToRectangle(const FrameFace& face) {
    return dlib::rectangle(face.x, face.y, static_cast<long>(face.x) + face.width - 1,
                           static_cast<long>(face.y) + face.height - 1);
}

QString ErrorText(const std::exception& e) { return QString::fromLocal8Bit(e.what()).simplified(); }

// Describes through a pool of networks.
class PoolDescriber final : public FaceDescriber {
public:
    PoolDescriber(const FaceModels& models, FaceNetworkPool& networks) : models_(models), networks_(networks) {}

    std::optional<DescribedFace> Describe(const cv::Mat& picture, const FrameFace& face) override {
        return models_.DescribeFace(picture, face, networks_);
    }

private:
    const FaceModels& models_;
    FaceNetworkPool& networks_;
};

// The user-interface thread's own instance, copied from the loaded network at its first face: a
// window that never describes never holds one, and it never waits for the workers' pool.
class InterfaceNetworkDescriber final : public FaceDescriber {
public:
    InterfaceNetworkDescriber(const FaceModels& models, const FaceNetwork& source) : models_(models), source_(source) {}

    std::optional<DescribedFace> Describe(const cv::Mat& picture, const FrameFace& face) override {
        const bool alreadyInUse = inUse_.exchange(true);
        OSTROVID_ASSERT(!alreadyInUse, "one thread at a time uses the interface describer");
        struct Release {
            std::atomic<bool>& flag;
            ~Release() { flag = false; }
        } release{inUse_};
        if (!network_) network_ = source_.Copy();
        return models_.DescribeFace(picture, face, *network_);
    }

private:
    const FaceModels& models_;
    const FaceNetwork& source_;
    std::unique_ptr<FaceNetwork> network_;
    std::atomic<bool> inUse_{false};
};

}  // namespace

struct FaceModels::Models {
    HogFaceDetector detector;
    QString landmarkFile;
    dlib::shape_predictor shapePredictor;
    // Only ever copied: the pool's instances and the interface describer's are made from it.
    std::unique_ptr<FaceNetwork> network;
    std::unique_ptr<FaceNetworkPool> pooledNetworks;
    std::unique_ptr<InterfaceNetworkDescriber> interfaceDescriber;
};

PooledNetworks PooledNetworks::ForThisMachine() {
    return PooledNetworks{std::max(1, static_cast<int>(std::thread::hardware_concurrency())) + 1};
}

FaceModels::FaceModels(std::unique_ptr<Models> models) : models_(std::move(models)) {}
FaceModels::~FaceModels() = default;

std::unique_ptr<FaceModels> FaceModels::Load(const QString& dataDir, QString& error, PooledNetworks pooled) {
    // Every network call already runs on a thread of its own (16 workers and the user-interface
    // thread); OpenBLAS's own threads would only queue those calls behind each other.
    openblas_set_num_threads(1);
    const QDir dir(dataDir);
    auto models = std::make_unique<Models>();
    models->landmarkFile = dir.filePath(kShapePredictor5File);
    if (!QFile::exists(models->landmarkFile)) models->landmarkFile = dir.filePath(kShapePredictor68File);
    if (!QFile::exists(models->landmarkFile)) {
        error = "the file " + dir.filePath(kShapePredictor5File) + " does not exist";
        return nullptr;
    }
    try {
        dlib::deserialize(QFile::encodeName(models->landmarkFile).toStdString()) >> models->shapePredictor;
    } catch (const std::exception& e) {
        error = "the file " + models->landmarkFile + " cannot be read: " + ErrorText(e);
        return nullptr;
    }
    // dlib's predictor always places its model's own number of parts, and faces are aligned by
    // 5 or 68 of them: any other count is refused here rather than failing on every face.
    const unsigned long parts = models->shapePredictor.num_parts();
    if (parts != 5 && parts != 68) {
        error = "the file " + models->landmarkFile + " has " + QString::number(parts) +
                " landmarks per face; faces are aligned by 5 or 68";
        return nullptr;
    }
    models->network = FaceNetwork::Load(dir.filePath(kFaceNetworkFile), error);
    if (!models->network) return nullptr;
    models->pooledNetworks = std::make_unique<FaceNetworkPool>(*models->network, pooled.count);
    std::unique_ptr<FaceModels> loaded(new FaceModels(std::move(models)));
    loaded->models_->interfaceDescriber =
        std::make_unique<InterfaceNetworkDescriber>(*loaded, *loaded->models_->network);
    return loaded;
}

unsigned long FaceModels::LandmarkCount() const { return models_->shapePredictor.num_parts(); }

QString FaceModels::LandmarkFile() const { return models_->landmarkFile; }

std::vector<FrameFace> FaceModels::DetectFaces(const cv::Mat& frame, int maxSubject) {
    if (!IsPicture(frame) || maxSubject <= 0) return {};
    return Detect(frame, FaceOrder::LargestFirst, static_cast<size_t>(maxSubject));
}

std::vector<FrameFace> FaceModels::DetectAllFaces(const cv::Mat& picture) {
    if (!IsPicture(picture)) return {};
    return Detect(picture, FaceOrder::AsDetected, std::numeric_limits<size_t>::max());
}

std::vector<FrameFace> FaceModels::Detect(const cv::Mat& frame, FaceOrder order, size_t limit) {
    std::vector<dlib::rectangle> found;
    for (const dlib::rect_detection& detection : models_->detector.Detect(WrapFrame(frame), kDetectorAdjustment))
        found.push_back(detection.rect);
    // area() is 0 for an empty rectangle.
    if (order == FaceOrder::LargestFirst)
        std::sort(found.begin(), found.end(),
                  [](const dlib::rectangle& a, const dlib::rectangle& b) { return a.area() > b.area(); });
    // Every face counts: the predictor places LandmarkCount() parts on any rectangle (checked at load).
    std::vector<FrameFace> faces;
    for (size_t i = 0; i < found.size() && i < limit; ++i) faces.push_back(ToFrameFace(found[i]));
    return faces;
}

template <typename Network>
std::optional<DescribedFace> FaceModels::DescribeWith(const cv::Mat& frame, const FrameFace& face,
                                                      Network& network) const {
    if (!IsPicture(frame)) return std::nullopt;
    const auto image = WrapFrame(frame);
    const dlib::full_object_detection shape = models_->shapePredictor(image, ToRectangle(face));
    if (shape.num_parts() != LandmarkCount()) return std::nullopt;

    dlib::matrix<dlib::rgb_pixel> chip;
    dlib::extract_image_chip(image, dlib::get_face_chip_details(shape, kChipSize, kChipPadding), chip);

    DescribedFace described;
    // The chip keeps the frame's byte order, so its copy is a picture like the frame.
    described.chip = dlib::toMat(chip).clone();
    described.descriptor = network.Describe(chip);
    return described;
}

std::optional<DescribedFace> FaceModels::DescribeFace(const cv::Mat& frame, const FrameFace& face,
                                                      FaceNetwork& network) const {
    return DescribeWith(frame, face, network);
}

std::optional<DescribedFace> FaceModels::DescribeFace(const cv::Mat& frame, const FrameFace& face,
                                                      FaceNetworkPool& networks) const {
    return DescribeWith(frame, face, networks);
}

FaceDescriber& FaceModels::InterfaceDescriber() { return *models_->interfaceDescriber; }

std::unique_ptr<FaceDescriber> FaceModels::MakeDescriber() const {
    return std::make_unique<PoolDescriber>(*this, *models_->pooledNetworks);
}

cv::Mat ReadPictureFile(const QString& path) {
    return cv::imread(QFile::encodeName(path).toStdString(), cv::IMREAD_COLOR);
}

}  // namespace recognition
