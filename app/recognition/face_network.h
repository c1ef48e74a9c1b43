#pragma once
// One instance of the descriptor network. An instance keeps its working buffers during a call,
// so it serves one thread at a time: the loaded one is only copied, the user-interface thread
// owns a copy, the other describing threads borrow copies from a FaceNetworkPool.
// Seen only by the face-analysis sources (it brings in dlib's matrix).

#include "app/recognition/face_descriptor.h"

#include <dlib/matrix.h>
#include <dlib/pixel.h>
#include <QString>

#include <memory>
#include <vector>

namespace recognition {

class FaceNetwork {
public:
    // Nothing, with the reason in `error`, when the file is missing or is not this network.
    static std::unique_ptr<FaceNetwork> Load(const QString& path, QString& error);
    ~FaceNetwork();

    // A new instance with the same weights, giving the same descriptors. Several threads may copy
    // one instance at once as long as none runs it. Throws std::bad_alloc.
    std::unique_ptr<FaceNetwork> Copy() const;

    // The descriptor of one 150x150 face chip: the network runs on a list of this one chip.
    FaceDescriptor Describe(const dlib::matrix<dlib::rgb_pixel>& chip);
    // The descriptors of several chips, in their order, from one network call: bit for bit those
    // of one call each (the network treats every chip of a batch alone), in less time per chip.
    std::vector<FaceDescriptor> Describe(const std::vector<dlib::matrix<dlib::rgb_pixel>>& chips);

private:
    struct Network;
    explicit FaceNetwork(std::unique_ptr<Network> network);
    std::unique_ptr<Network> network_;
};

}  // namespace recognition
