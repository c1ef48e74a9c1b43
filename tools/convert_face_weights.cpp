// Builds the descriptor network file Data/dlib_face_recognition_resnet_model_v1.dat from face-api's
// recognition weights (the same ResNet, stored as a tfjs manifest with quantized shards).
// Usage: ostrovid-convert-face-weights <face_recognition_model-weights_manifest.json> <output.dat>

#include "app/recognition/face_network_type.h"
#include "tools/face_weights.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

extern "C" void openblas_set_num_threads(int threads);

namespace {

using recognition::net::anet_type;

// The convolutions in the order the network applies them, as face-api names them.
std::vector<std::string> ConvolutionNames() {
    std::vector<std::string> names{"conv32_down"};
    const auto addResidual = [&names](const std::string& unit) {
        names.push_back(unit + "/conv1");
        names.push_back(unit + "/conv2");
    };
    for (const char* unit :
         {"conv32_1", "conv32_2", "conv32_3", "conv64_down", "conv64_1", "conv64_2", "conv64_3", "conv128_down",
          "conv128_1", "conv128_2", "conv256_down", "conv256_1", "conv256_2", "conv256_down_out"})
        addResidual(unit);
    return names;
}

// The parameter tensors of the network's layers, input side first.
struct NetworkParameters {
    std::vector<dlib::tensor*> convolutions;  // filters (OIHW) followed by one bias per filter
    std::vector<dlib::affine_*> affines;      // per-channel gamma and beta
    dlib::tensor* fc = nullptr;               // [inputs, outputs], no bias
};

NetworkParameters CollectParameters(anet_type& net) {
    NetworkParameters found;
    dlib::visit_computational_layers(net, [&found](auto& layer) {
        using Layer = std::decay_t<decltype(layer)>;
        if constexpr (requires {
                          layer.bias_is_disabled();
                          layer.get_num_outputs();
                      })
            found.fc = &layer.get_layer_params();
        else if constexpr (requires { layer.bias_is_disabled(); })
            found.convolutions.push_back(&layer.get_layer_params());
        else if constexpr (std::is_same_v<Layer, dlib::affine_>)
            found.affines.push_back(&layer);  // its parameters are not exposed as layer params
    });
    // The visit runs from the output towards the input.
    std::reverse(found.convolutions.begin(), found.convolutions.end());
    std::reverse(found.affines.begin(), found.affines.end());
    return found;
}

class Converter {
public:
    explicit Converter(const std::vector<tools::WeightTensor>& tensors) {
        for (const tools::WeightTensor& tensor : tensors) byName_[tensor.name.toStdString()] = &tensor;
    }

    bool Fill(anet_type& net) {
        const NetworkParameters params = CollectParameters(net);
        const std::vector<std::string> names = ConvolutionNames();
        if (params.convolutions.size() != names.size() || params.affines.size() != names.size() || !params.fc)
            return Fail("the network does not have the expected layers");
        for (size_t i = 0; i < names.size(); ++i) {
            if (!FillConvolution(names[i], *params.convolutions[i]) || !FillAffine(names[i], *params.affines[i]))
                return false;
        }
        const tools::WeightTensor* fc = Find("fc", {256, 128});
        if (!fc) return false;
        if (byName_.count("fc/bias") || byName_.count("fc/biases"))
            return Fail("the fully connected layer has a bias, which this network does not take");
        if (params.fc->size() != fc->values.size()) return Fail("fc: size mismatch");
        std::copy(fc->values.begin(), fc->values.end(), params.fc->host());
        return true;
    }

    const std::string& Error() const { return error_; }

private:
    bool Fail(const std::string& text) {
        error_ = text;
        return false;
    }

    const tools::WeightTensor* Find(const std::string& name, const std::vector<long>& shape) {
        const auto it = byName_.find(name);
        if (it == byName_.end()) {
            Fail("the weight " + name + " is missing");
            return nullptr;
        }
        if (it->second->shape != shape) {
            Fail("the weight " + name + " has an unexpected shape");
            return nullptr;
        }
        return it->second;
    }

    bool FillConvolution(const std::string& name, dlib::tensor& params) {
        const auto it = byName_.find(name + "/conv/filters");
        if (it == byName_.end() || it->second->shape.size() != 4)
            return Fail("the weight " + name + "/conv/filters is missing");
        const std::vector<long> shape = it->second->shape;
        const long kh = shape[0], kw = shape[1], cin = shape[2], cout = shape[3];
        const tools::WeightTensor* filters = it->second;
        const tools::WeightTensor* bias = Find(name + "/conv/bias", {cout});
        if (!bias) return false;
        if (params.size() != static_cast<size_t>(kh * kw * cin * cout + cout)) return Fail(name + ": size mismatch");
        float* out = params.host();
        // face-api keeps filters as [kh, kw, cin, cout]; dlib wants [cout, cin, kh, kw].
        for (long o = 0; o < cout; ++o)
            for (long i = 0; i < cin; ++i)
                for (long h = 0; h < kh; ++h)
                    for (long w = 0; w < kw; ++w) *out++ = filters->values[((h * kw + w) * cin + i) * cout + o];
        std::copy(bias->values.begin(), bias->values.end(), out);
        return true;
    }

    bool FillAffine(const std::string& name, dlib::affine_& layer) {
        if (layer.get_mode() != dlib::CONV_MODE) return Fail(name + ": the affine layer is not per channel");
        auto gammaOut = layer.get_gamma();
        auto betaOut = layer.get_beta();
        const long channels = static_cast<long>(gammaOut.size());
        const tools::WeightTensor* gamma = Find(name + "/scale/weights", {channels});
        const tools::WeightTensor* beta = gamma ? Find(name + "/scale/biases", {channels}) : nullptr;
        if (!beta) return false;
        if (static_cast<long>(betaOut.size()) != channels) return Fail(name + ": size mismatch");
        std::copy(gamma->values.begin(), gamma->values.end(), gammaOut.host());
        std::copy(beta->values.begin(), beta->values.end(), betaOut.host());
        return true;
    }

    std::map<std::string, const tools::WeightTensor*> byName_;
    std::string error_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <weights manifest .json> <output .dat>\n", argv[0]);
        return 2;
    }
    // The one small forward pass gains nothing from OpenBLAS's threads.
    openblas_set_num_threads(1);
    QString error;
    const auto tensors = tools::ReadWeightsManifest(QString::fromLocal8Bit(argv[1]), error);
    if (!tensors) {
        std::fprintf(stderr, "%s: %s\n", argv[1], qPrintable(error));
        return 1;
    }
    try {
        anet_type net;
        // Batch norm is folded into per-channel scales, so every affine layer works per channel.
        dlib::visit_computational_layers(net, [](dlib::affine_& layer) { layer = dlib::affine_(dlib::CONV_MODE); });
        // Parameters are allocated by the first forward pass.
        dlib::matrix<dlib::rgb_pixel> blank(150, 150);
        blank = dlib::rgb_pixel(0, 0, 0);
        net(blank);

        Converter converter(*tensors);
        if (!converter.Fill(net)) {
            std::fprintf(stderr, "%s: %s\n", argv[1], converter.Error().c_str());
            return 1;
        }
        // Drop the outputs of the allocation pass so that the file holds the weights alone.
        net.clean();
        dlib::serialize(argv[2]) << net;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", argv[2], e.what());
        return 1;
    }
    return 0;
}
