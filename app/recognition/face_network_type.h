#pragma once
// The descriptor network: dlib's ResNet metric network that goes with the published
// dlib_face_recognition_resnet_model_v1.dat. Heavy to compile; include it only where the network
// is built, filled or run.

#include "app/recognition/face_network_layers.h"

#include <dlib/dnn.h>

namespace recognition::net {

// The network's layers, with its convolution and its last layer as the parameters; both choices
// read and write the same model file.
template <template <long, long, long, int, int, typename> class Con,
          template <unsigned long, typename> class Fc>
struct ResNet {
    template <template <int, template <typename> class, int, typename> class Block, int N,
              template <typename> class BN, typename SUBNET>
    using residual = dlib::add_prev1<Block<N, BN, 1, dlib::tag1<SUBNET>>>;

    template <template <int, template <typename> class, int, typename> class Block, int N,
              template <typename> class BN, typename SUBNET>
    using residual_down =
        dlib::add_prev2<dlib::avg_pool<2, 2, 2, 2, dlib::skip1<dlib::tag2<Block<N, BN, 2, dlib::tag1<SUBNET>>>>>>;

    template <int N, template <typename> class BN, int stride, typename SUBNET>
    using block = BN<Con<N, 3, 3, 1, 1, dlib::relu<BN<Con<N, 3, 3, stride, stride, SUBNET>>>>>;

    template <int N, typename SUBNET>
    using ares = dlib::relu<residual<block, N, dlib::affine, SUBNET>>;
    template <int N, typename SUBNET>
    using ares_down = dlib::relu<residual_down<block, N, dlib::affine, SUBNET>>;

    template <typename SUBNET>
    using alevel0 = ares_down<256, SUBNET>;
    template <typename SUBNET>
    using alevel1 = ares<256, ares<256, ares_down<256, SUBNET>>>;
    template <typename SUBNET>
    using alevel2 = ares<128, ares<128, ares_down<128, SUBNET>>>;
    template <typename SUBNET>
    using alevel3 = ares<64, ares<64, ares<64, ares_down<64, SUBNET>>>>;
    template <typename SUBNET>
    using alevel4 = ares<32, ares<32, ares<32, SUBNET>>>;

    using type = dlib::loss_metric<Fc<
        128, dlib::avg_pool_everything<alevel0<alevel1<alevel2<alevel3<alevel4<dlib::max_pool<
                 3, 3, 2, 2, dlib::relu<dlib::affine<Con<32, 7, 7, 2, 2, dlib::input_rgb_image_sized<150>>>>>>>>>>>>>;
};

// dlib's own layers: the published type, which the weights are converted into.
using anet_type = ResNet<dlib::con, dlib::fc_no_bias>::type;
// What the program runs: the same network with the faster convolution and a last layer that
// gives every chip of a call the descriptor dlib's type gives that chip alone.
using fast_anet_type = ResNet<fast_con, per_sample_fc_no_bias>::type;

}  // namespace recognition::net
