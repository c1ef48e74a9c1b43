// Our network's own layers against dlib's: the convolution gives dlib's outputs bit for bit on
// made-up tensors of every filter shape the network has (borders, odd sizes, several samples, with
// and without bias); the last layer gives each sample of a batch dlib's output for that sample
// alone; and the whole network gives every real face chip, alone or in a call with others, the
// descriptor dlib's published type gives it alone.

#include "app/recognition/face_models.h"
#include "app/recognition/face_network.h"
#include "app/recognition/face_network_type.h"
#include "tests/support/face_pictures.h"
#include "tests/support/own_network_describer.h"

#include <gtest/gtest.h>

#include <dlib/image_transforms/assign_image.h>
#include <dlib/opencv/cv_image.h>
#include <opencv2/core.hpp>

#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace recognition {
namespace {

// What a layer reads from the layer below it.
struct Below {
    const dlib::tensor& get_output() const { return data; }
    dlib::resizable_tensor data;
};

enum class Bias { Used, Disabled };

bool SameBits(const dlib::tensor& a, const dlib::tensor& b) {
    return a.num_samples() == b.num_samples() && a.k() == b.k() && a.nr() == b.nr() && a.nc() == b.nc() &&
           std::memcmp(a.host(), b.host(), a.size() * sizeof(float)) == 0;
}

template <long Filters, long Rows, long Cols, int StrideY, int StrideX>
void ExpectDlibsOutput(long samples, long channels, long rows, long cols, Bias bias) {
    const std::string what = std::to_string(Rows) + "x" + std::to_string(Cols) + " stride " +
                             std::to_string(StrideY) + " on " + std::to_string(samples) + "x" +
                             std::to_string(channels) + "x" + std::to_string(rows) + "x" + std::to_string(cols) +
                             (bias == Bias::Used ? "" : " without bias");
    dlib::rand random(what);
    Below below;
    below.data.set_size(samples, channels, rows, cols);
    for (float& value : below.data) value = static_cast<float>(random.get_random_gaussian());
    dlib::con_<Filters, Rows, Cols, StrideY, StrideX> theirs;
    if (bias == Bias::Disabled) theirs.disable_bias();
    theirs.setup(below);
    // setup() leaves the biases 0; every parameter gets a value of its own.
    for (float& value : theirs.get_layer_params()) value = static_cast<float>(random.get_random_gaussian());
    net::fast_con_<Filters, Rows, Cols, StrideY, StrideX> ours;
    std::stringstream file;
    serialize(theirs, file);
    deserialize(ours, file);

    dlib::resizable_tensor expected;
    dlib::resizable_tensor got;
    theirs.forward(below, expected);
    ours.forward(below, got);
    EXPECT_TRUE(SameBits(got, expected)) << what;
    // A second call into the same output, as every call after a network's first.
    ours.forward(below, got);
    EXPECT_TRUE(SameBits(got, expected)) << what << ", second call";
}

TEST(FastConvolution, GivesDlibsOutputsBitForBit) {
    // The network's own shapes: the 7x7 entry layer on a chip, 3x3 at both strides.
    ExpectDlibsOutput<32, 7, 7, 2, 2>(1, 3, 150, 150, Bias::Used);
    ExpectDlibsOutput<32, 3, 3, 1, 1>(1, 32, 35, 35, Bias::Used);
    ExpectDlibsOutput<64, 3, 3, 2, 2>(1, 32, 35, 35, Bias::Used);
    // Borders everywhere: images barely larger than the filter, odd sizes, several samples.
    ExpectDlibsOutput<5, 3, 3, 1, 1>(3, 2, 1, 1, Bias::Used);
    ExpectDlibsOutput<5, 3, 3, 1, 1>(3, 4, 2, 7, Bias::Used);
    ExpectDlibsOutput<4, 3, 3, 2, 2>(2, 3, 3, 8, Bias::Used);
    ExpectDlibsOutput<3, 7, 7, 2, 2>(2, 3, 9, 14, Bias::Used);
    ExpectDlibsOutput<6, 3, 3, 1, 1>(2, 3, 17, 10, Bias::Disabled);
    ExpectDlibsOutput<6, 7, 7, 2, 2>(1, 3, 20, 21, Bias::Disabled);
}

// dlib's layer on one sample at a time against ours on all of them at once.
TEST(PerSampleLastLayer, GivesEverySampleOfABatchDlibsOutputForThatSampleAlone) {
    dlib::rand random("last layer");
    Below below;
    below.data.set_size(13, 256, 1, 1);
    for (float& value : below.data) value = static_cast<float>(random.get_random_gaussian());
    dlib::fc_<128, dlib::FC_NO_BIAS> theirs;
    theirs.setup(below);
    for (float& value : theirs.get_layer_params()) value = static_cast<float>(random.get_random_gaussian());
    net::per_sample_fc_no_bias_<128> ours;
    std::stringstream file;
    serialize(theirs, file);
    deserialize(ours, file);

    dlib::resizable_tensor got;
    ours.forward(below, got);
    ASSERT_EQ(got.num_samples(), 13);
    ASSERT_EQ(got.k(), 128);
    for (long n = 0; n < below.data.num_samples(); ++n) {
        Below alone;
        alone.data.set_size(1, 256, 1, 1);
        std::memcpy(alone.data.host(), below.data.host() + n * 256, 256 * sizeof(float));
        dlib::resizable_tensor expected;
        theirs.forward(alone, expected);
        EXPECT_EQ(std::memcmp(got.host() + n * 128, expected.host(), 128 * sizeof(float)), 0) << "sample " << n;
    }
}

std::unique_ptr<net::anet_type> DlibsNetwork() {
    auto network = std::make_unique<net::anet_type>();
    dlib::deserialize(QDir(testsupport::FaceDataDir()).filePath(kFaceNetworkFile).toStdString()) >> *network;
    return network;
}

bool SameBits(const FaceDescriptor& ours, const dlib::matrix<float, 0, 1>& theirs) {
    return theirs.size() == long(FaceDescriptor::kSize) &&
           std::memcmp(ours.values.data(), &theirs(0), FaceDescriptor::kStorageSize) == 0;
}

// The chip of every face of the example pictures, then a few that are no face at all.
std::vector<dlib::matrix<dlib::rgb_pixel>> Chips(FaceModels& models, FaceNetwork& network) {
    std::vector<dlib::matrix<dlib::rgb_pixel>> chips;
    for (const auto& entry : std::filesystem::directory_iterator(testsupport::DlibExample("faces"))) {
        if (entry.path().extension() != ".jpg") continue;
        const cv::Mat picture = ReadPictureFile(QString::fromStdString(entry.path().string()));
        for (const FrameFace& face : models.DetectAllFaces(picture)) {
            const std::optional<DescribedFace> described = models.DescribeFace(picture, face, network);
            if (!described) continue;
            dlib::matrix<dlib::rgb_pixel> chip;
            dlib::assign_image(chip, dlib::cv_image<dlib::rgb_pixel>(described->chip));
            chips.push_back(std::move(chip));
        }
    }
    cv::RNG rng(7);
    for (const int level : {-1, 0, 255}) {
        cv::Mat made(kChipSize, kChipSize, CV_8UC3, cv::Scalar::all(level < 0 ? 0 : level));
        if (level < 0) rng.fill(made, cv::RNG::UNIFORM, 0, 256);
        dlib::matrix<dlib::rgb_pixel> chip;
        dlib::assign_image(chip, dlib::cv_image<dlib::rgb_pixel>(made));
        chips.push_back(std::move(chip));
    }
    return chips;
}

TEST(OurNetwork, GivesEveryChipDlibsDescriptorForThatChipAloneInAnyCall) {
    FaceModels* models = testsupport::SharedFaceModels();
    ASSERT_NE(models, nullptr);
    std::unique_ptr<FaceNetwork> ours = testsupport::LoadFaceNetwork(testsupport::FaceDataDir());
    ASSERT_NE(ours, nullptr);
    const std::unique_ptr<net::anet_type> theirs = DlibsNetwork();
    const std::vector<dlib::matrix<dlib::rgb_pixel>> chips = Chips(*models, *ours);
    ASSERT_GE(chips.size(), 20u);

    std::vector<dlib::matrix<float, 0, 1>> expected;
    for (size_t i = 0; i < chips.size(); ++i) {
        expected.push_back((*theirs)(std::vector{chips[i]}).front());
        EXPECT_TRUE(SameBits(ours->Describe(chips[i]), expected.back())) << "chip " << i << " alone";
    }
    // dlib's own type gives a chip among four or more others other bits than alone; ours does not.
    const std::vector<FaceDescriptor> together = ours->Describe(chips);
    ASSERT_EQ(together.size(), chips.size());
    for (size_t i = 0; i < chips.size(); ++i)
        EXPECT_TRUE(SameBits(together[i], expected[i])) << "chip " << i << " of " << chips.size() << " in one call";
}

}  // namespace
}  // namespace recognition
