#pragma once
// One network instance per describer, the design the network pool replaced: the reference the
// pool's descriptors and figures are compared with. The instance is copied from one loaded from
// the models' file, as each worker's used to be.

#include "app/recognition/face_describer.h"
#include "app/recognition/face_models.h"
#include "app/recognition/face_network.h"

#include <QDir>

#include <memory>
#include <optional>

namespace testsupport {

class OwnNetworkDescriber final : public recognition::FaceDescriber {
public:
    OwnNetworkDescriber(const recognition::FaceModels& models, std::unique_ptr<recognition::FaceNetwork> network)
        : models_(models), network_(std::move(network)) {}

    std::optional<recognition::DescribedFace> Describe(const cv::Mat& picture,
                                                       const recognition::FrameFace& face) override {
        return models_.DescribeFace(picture, face, *network_);
    }

private:
    const recognition::FaceModels& models_;
    std::unique_ptr<recognition::FaceNetwork> network_;
};

// The network file in `dataDir`, read once; nothing when it cannot be.
inline std::unique_ptr<recognition::FaceNetwork> LoadFaceNetwork(const QString& dataDir) {
    QString error;
    return recognition::FaceNetwork::Load(QDir(dataDir).filePath(recognition::kFaceNetworkFile), error);
}

}  // namespace testsupport
