#include "app/recognition/face_network.h"

#include "app/recognition/face_network_type.h"

#include <QFile>

#include <algorithm>
#include <vector>

namespace recognition {

struct FaceNetwork::Network {
    net::fast_anet_type net;
};

FaceNetwork::FaceNetwork(std::unique_ptr<Network> network) : network_(std::move(network)) {}
FaceNetwork::~FaceNetwork() = default;

std::unique_ptr<FaceNetwork> FaceNetwork::Load(const QString& path, QString& error) {
    if (!QFile::exists(path)) {
        error = "the file " + path + " does not exist";
        return nullptr;
    }
    auto network = std::make_unique<Network>();
    try {
        dlib::deserialize(QFile::encodeName(path).toStdString()) >> network->net;
    } catch (const std::exception& e) {
        error = "the file " + path + " cannot be read: " + QString::fromLocal8Bit(e.what()).trimmed();
        return nullptr;
    }
    return std::unique_ptr<FaceNetwork>(new FaceNetwork(std::move(network)));
}

std::unique_ptr<FaceNetwork> FaceNetwork::Copy() const {
    return std::unique_ptr<FaceNetwork>(new FaceNetwork(std::make_unique<Network>(*network_)));
}

namespace {

FaceDescriptor ToDescriptor(const dlib::matrix<float, 0, 1>& output) {
    FaceDescriptor descriptor;
    std::copy(output.begin(), output.end(), descriptor.values.begin());
    return descriptor;
}

}  // namespace

FaceDescriptor FaceNetwork::Describe(const dlib::matrix<dlib::rgb_pixel>& chip) {
    // The chip is read where it is: no list of one copy of it.
    dlib::matrix<float, 0, 1> output;
    network_->net(&chip, &chip + 1, &output);
    return ToDescriptor(output);
}

std::vector<FaceDescriptor> FaceNetwork::Describe(const std::vector<dlib::matrix<dlib::rgb_pixel>>& chips) {
    const std::vector<dlib::matrix<float, 0, 1>> outputs = network_->net(chips);
    std::vector<FaceDescriptor> descriptors;
    descriptors.reserve(outputs.size());
    for (const dlib::matrix<float, 0, 1>& output : outputs) descriptors.push_back(ToDescriptor(output));
    return descriptors;
}

}  // namespace recognition
