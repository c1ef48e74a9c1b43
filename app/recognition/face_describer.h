#pragma once
// What a prediction worker needs from face analysis: the descriptor of one face and its chip.
// Each worker owns its own describer; describers made by FaceModels::MakeDescriber share a pool of
// networks, a chip going through one of them alone or with other describers' chips.

#include "app/recognition/face_descriptor.h"
#include "app/recognition/frame_face.h"

#include <opencv2/core/mat.hpp>

#include <optional>

namespace recognition {

struct DescribedFace {
    FaceDescriptor descriptor;
    cv::Mat chip;  // the aligned 150x150 face chip
};

class FaceDescriber {
public:
    virtual ~FaceDescriber() = default;
    // Nothing when the face's landmarks cannot be placed.
    virtual std::optional<DescribedFace> Describe(const cv::Mat& picture, const FrameFace& face) = 0;
};

}  // namespace recognition
