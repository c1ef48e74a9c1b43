#pragma once
// Purpose: the two layers in which our descriptor network differs from dlib's published type.
//   Both are dlib's own layers (same parameters, same file format) with another forward pass:
//   - fast_con_: dlib lays out the image patches of each sample element by element, checking the
//     image border at every element, which takes about as long as the matrix product after it.
//     Here a patch inside the image is copied row by row and only border patches are checked. The
//     patch matrix and the product are dlib's own, and the bias is added as dlib adds it
//     (d = 1*d + 1*b, exact), so the outputs are bit for bit dlib's.
//   - per_sample_fc_no_bias_: dlib multiplies the whole batch with the weights at once, and BLAS
//     sums a row of four or more samples in another order than a row alone, so a chip's
//     descriptor depended on how many chips shared its call. Here each sample gets the product
//     dlib makes for a batch of one: every chip gets the descriptor of a call of its own.
// Threads: like every dlib layer, one call at a time per instance.

#include <dlib/dnn.h>

#include <cstddef>

namespace recognition::net {

namespace detail {

// The patch matrix of sample `n` in dlib's layout: one row per output position (row-major over
// the output), one column per (channel, filter row, filter column); zero outside the image.
template <long FilterRows, long FilterCols, int StrideY, int StrideX>
void PatchMatrix(dlib::matrix<float>& patches, const dlib::tensor& data, long n, long paddingY, long paddingX) {
    const long channels = data.k();
    const long rows = data.nr();
    const long cols = data.nc();
    const long outRows = 1 + (rows + 2 * paddingY - FilterRows) / StrideY;
    const long outCols = 1 + (cols + 2 * paddingX - FilterCols) / StrideX;
    patches.set_size(outRows * outCols, channels * FilterRows * FilterCols);
    const float* sample = data.host() + channels * rows * cols * n;
    float* out = &patches(0, 0);
    for (long outRow = 0; outRow < outRows; ++outRow) {
        const long top = outRow * StrideY - paddingY;
        for (long outCol = 0; outCol < outCols; ++outCol) {
            const long left = outCol * StrideX - paddingX;
            if (top >= 0 && top + FilterRows <= rows && left >= 0 && left + FilterCols <= cols) {
                const float* corner = sample + top * cols + left;
                for (long k = 0; k < channels; ++k, corner += rows * cols) {
                    for (long y = 0; y < FilterRows; ++y) {
                        for (long x = 0; x < FilterCols; ++x) *out++ = corner[y * cols + x];
                    }
                }
                continue;
            }
            for (long k = 0; k < channels; ++k) {
                const float* plane = sample + k * rows * cols;
                for (long y = 0; y < FilterRows; ++y) {
                    const long row = top + y;
                    const bool rowInside = row >= 0 && row < rows;
                    for (long x = 0; x < FilterCols; ++x) {
                        const long col = left + x;
                        *out++ = rowInside && col >= 0 && col < cols ? plane[row * cols + col] : 0.0f;
                    }
                }
            }
        }
    }
}

}  // namespace detail

template <long NumFilters, long FilterRows, long FilterCols, int StrideY, int StrideX,
          int PaddingY = StrideY != 1 ? 0 : FilterRows / 2, int PaddingX = StrideX != 1 ? 0 : FilterCols / 2>
class fast_con_ : public dlib::con_<NumFilters, FilterRows, FilterCols, StrideY, StrideX, PaddingY, PaddingX> {
    using base = dlib::con_<NumFilters, FilterRows, FilterCols, StrideY, StrideX, PaddingY, PaddingX>;
    static_assert(FilterRows > 0 && FilterCols > 0, "the filter size is fixed by the network's type");

public:
    using base::base;

    template <typename SUBNET>
    void forward(const SUBNET& sub, dlib::resizable_tensor& output) {
        const dlib::tensor& data = sub.get_output();
        const long channels = data.k();
        const long filterSize = channels * FilterRows * FilterCols;
        const float* params = this->get_layer_params().host();
        output.set_size(data.num_samples(), this->num_filters(),
                        1 + (data.nr() + 2 * this->padding_y() - FilterRows) / StrideY,
                        1 + (data.nc() + 2 * this->padding_x() - FilterCols) / StrideX);
        const auto filters = dlib::mat(params, this->num_filters(), filterSize);
        const long outSize = output.k() * output.nr() * output.nc();
        // Per call, as dlib does: a buffer kept per layer would hold megabytes in every copy.
        dlib::matrix<float> patches;
        for (long n = 0; n < data.num_samples(); ++n) {
            detail::PatchMatrix<FilterRows, FilterCols, StrideY, StrideX>(patches, data, n, this->padding_y(),
                                                                          this->padding_x());
            // The same expression dlib's convolution evaluates, so the same BLAS call.
            dlib::set_ptrm(output.host() + n * outSize, output.k(), output.nr() * output.nc()) =
                filters * dlib::trans(patches);
        }
        if (this->bias_is_disabled()) return;
        const float* biases = params + this->num_filters() * filterSize;
        const long plane = output.nr() * output.nc();
        float* out = output.host();
        for (long n = 0; n < output.num_samples(); ++n) {
            for (long k = 0; k < output.k(); ++k, out += plane) {
                const float bias = biases[k];
                for (long i = 0; i < plane; ++i) out[i] = out[i] + bias;
            }
        }
    }
};

template <long NumFilters, long FilterRows, long FilterCols, int StrideY, int StrideX, typename SUBNET>
using fast_con = dlib::add_layer<fast_con_<NumFilters, FilterRows, FilterCols, StrideY, StrideX>, SUBNET>;

template <unsigned long NumOutputs>
class per_sample_fc_no_bias_ : public dlib::fc_<NumOutputs, dlib::FC_NO_BIAS> {
    using base = dlib::fc_<NumOutputs, dlib::FC_NO_BIAS>;

public:
    using base::base;

    template <typename SUBNET>
    void forward(const SUBNET& sub, dlib::resizable_tensor& output) {
        const dlib::tensor& input = sub.get_output();
        const long inputs = input.k() * input.nr() * input.nc();
        output.set_size(input.num_samples(), static_cast<long>(NumOutputs));
        const dlib::alias_tensor inputRow(1, input.k(), input.nr(), input.nc());
        const dlib::alias_tensor outputRow(1, static_cast<long>(NumOutputs));
        const auto weights = static_cast<const base&>(*this).get_weights();
        for (long n = 0; n < input.num_samples(); ++n) {
            auto row = outputRow(output, static_cast<size_t>(n) * NumOutputs);
            dlib::tt::gemm(0, row, 1, inputRow(input, static_cast<size_t>(n * inputs)).get(), false, weights.get(),
                           false);
        }
    }
};

template <unsigned long NumOutputs, typename SUBNET>
using per_sample_fc_no_bias = dlib::add_layer<per_sample_fc_no_bias_<NumOutputs>, SUBNET>;

}  // namespace recognition::net
