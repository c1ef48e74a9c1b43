#include "app/recognition/sample_pack.h"

#include "app/recognition/matching.h"
#include "app/recognition/person_model.h"
#include "app/recognition/scan_helper.h"
#include "platform/contract.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cfloat>
#include <climits>
#include <cmath>

#include <immintrin.h>

namespace recognition {

namespace {

constexpr int kSteps = 127;  // a sample component becomes -127..127 steps
constexpr uint32_t kLanes = 16;
constexpr uint32_t kGroups = FaceDescriptor::kSize / 4;
constexpr uint32_t kMaxChunks = 64;
constexpr uint32_t kNone = UINT32_MAX;

// How far DescriptorDistance may lie from the true distance of its floats: the differences, the
// squares and a running sum of 128 non-negative terms carry a relative error below 130 x 2^-24,
// halved by the square root plus one rounding, about 4e-6; 1e-5 leaves a wide margin. The
// absolute part covers squares that underflow.
constexpr double kRelativeSlack = 1e-5;
constexpr double kAbsoluteSlack = 1e-15;
// Components beyond this (or not finite) may overflow the float sum: such samples, and such live
// descriptors, always get the exact computation.
constexpr double kUsableLimit = 1e6;
// The scale covers all but the largest 0.01% of the samples; those are clipped and always
// computed exactly, so that one odd sample cannot coarsen the steps of all the others.
constexpr double kCoveredShare = 0.9999;
// Markers in Block::squares: a lane that always passes the cheap test, and an unused lane that
// never does.
constexpr int32_t kAlwaysExact = -(1 << 29);
constexpr int32_t kPadding = 1 << 29;

// Margin for the double arithmetic that measures a rounding error: relative, plus an absolute
// part proportional to the magnitudes involved.
double Inflated(double error, double magnitude) { return (error + 1e-9 * magnitude) * (1 + 1e-9); }

float RoundedUp(double value) {
    float rounded = static_cast<float>(value);
    if (static_cast<double>(rounded) < value) rounded = std::nextafter(rounded, INFINITY);
    return rounded;
}

// The nearest step, clipped. Any step gives a valid bound, since each error is measured against
// the step taken.
int Step(double value, double inverseScale) {
    return static_cast<int>(std::clamp(std::nearbyint(value * inverseScale), double(-kSteps), double(kSteps)));
}

}  // namespace

// Sixteen samples. For the cheap pass a sample j holds steps a_j, the live descriptor steps b;
// the squared step distance N = |a_j - b|^2 is exact in integers and
//   N = squares[j] + offset - 2 * sum_k (a_jk + 128) * b_k,  offset = |b|^2 + 256 * sum_k b_k,
// which the processor's unsigned-by-signed byte dot product computes four components at a time.
struct alignas(64) SamplePack::Block {
    uint8_t codes[kGroups][kLanes * 4] = {};  // group g, lane j: a_j[4g..4g+3] + 128
    int32_t squares[kLanes] = {};             // |a_j|^2, or a marker
};

struct SamplePack::Query {
    alignas(64) int32_t groups[kGroups] = {};  // b[4g..4g+3] as signed bytes
    int64_t wideGroups[kGroups] = {};          // b[4g..4g+3] as signed 16-bit values
    int8_t steps[FaceDescriptor::kSize] = {};
    int64_t offset = 0;
    double error = 0;  // upper bound of |live - scale * b|
};

namespace {

// The cheap pass over one block: the lanes whose N - offset is at most limit, with their
// N - offset stored in values (at least when some lane passes).
uint32_t PortableLanes(const SamplePack::Block& block, const SamplePack::Query& query, int32_t limit,
                       int32_t* values) {
    int32_t dots[kLanes] = {};
    for (uint32_t g = 0; g < kGroups; ++g) {
        for (uint32_t j = 0; j < kLanes; ++j) {
            int32_t sum = 0;
            for (uint32_t t = 0; t < 4; ++t) sum += int32_t(block.codes[g][j * 4 + t]) * query.steps[g * 4 + t];
            dots[j] += sum;
        }
    }
    uint32_t lanes = 0;
    for (uint32_t j = 0; j < kLanes; ++j) {
        values[j] = block.squares[j] - 2 * dots[j];
        if (values[j] <= limit) lanes |= 1u << j;
    }
    return lanes;
}

__attribute__((target("avx2"))) uint32_t Avx2Lanes(const SamplePack::Block& block, const SamplePack::Query& query,
                                                   int32_t limit, int32_t* values) {
    // Each quarter of a group holds four lanes; widened to 16 bits, one multiply-add gives every
    // lane two partial sums.
    __m256i sums[4] = {_mm256_setzero_si256(), _mm256_setzero_si256(), _mm256_setzero_si256(),
                       _mm256_setzero_si256()};
    for (uint32_t g = 0; g < kGroups; ++g) {
        const __m256i steps = _mm256_set1_epi64x(query.wideGroups[g]);
        for (uint32_t quarter = 0; quarter < 4; ++quarter) {
            const __m128i codes = _mm_load_si128(reinterpret_cast<const __m128i*>(block.codes[g] + 16 * quarter));
            sums[quarter] =
                _mm256_add_epi32(sums[quarter], _mm256_madd_epi16(_mm256_cvtepu8_epi16(codes), steps));
        }
    }
    // hadd pairs within 128-bit halves: lanes 0 1 4 5 | 2 3 6 7, then put them in order.
    const __m256i order = _mm256_setr_epi32(0, 1, 4, 5, 2, 3, 6, 7);
    const __m256i low = _mm256_permutevar8x32_epi32(_mm256_hadd_epi32(sums[0], sums[1]), order);
    const __m256i high = _mm256_permutevar8x32_epi32(_mm256_hadd_epi32(sums[2], sums[3]), order);
    const __m256i bound = _mm256_set1_epi32(limit);
    uint32_t lanes = 0;
    const __m256i halves[2] = {low, high};
    for (uint32_t h = 0; h < 2; ++h) {
        const __m256i value = _mm256_sub_epi32(
            _mm256_load_si256(reinterpret_cast<const __m256i*>(block.squares + 8 * h)), _mm256_add_epi32(halves[h], halves[h]));
        const __m256i above = _mm256_cmpgt_epi32(value, bound);
        lanes |= (~static_cast<uint32_t>(_mm256_movemask_ps(_mm256_castsi256_ps(above))) & 0xFFu) << (8 * h);
        _mm256_store_si256(reinterpret_cast<__m256i*>(values + 8 * h), value);
    }
    return lanes;
}

__attribute__((target("avx512f,avx512vnni"))) uint32_t VnniLanes(const SamplePack::Block& block,
                                                                 const SamplePack::Query& query, int32_t limit,
                                                                 int32_t* values) {
    // Four independent sums keep the multiply-add units busy.
    __m512i sums[4] = {_mm512_setzero_si512(), _mm512_setzero_si512(), _mm512_setzero_si512(),
                       _mm512_setzero_si512()};
    for (uint32_t g = 0; g < kGroups; g += 4) {
        for (uint32_t t = 0; t < 4; ++t) {
            sums[t] = _mm512_dpbusd_epi32(sums[t], _mm512_load_si512(block.codes[g + t]),
                                          _mm512_set1_epi32(query.groups[g + t]));
        }
    }
    const __m512i dot = _mm512_add_epi32(_mm512_add_epi32(sums[0], sums[1]), _mm512_add_epi32(sums[2], sums[3]));
    const __m512i value = _mm512_sub_epi32(_mm512_load_si512(block.squares), _mm512_add_epi32(dot, dot));
    const __mmask16 lanes = _mm512_cmple_epi32_mask(value, _mm512_set1_epi32(limit));
    if (lanes != 0) _mm512_store_si512(values, value);
    return lanes;
}

}  // namespace

// One match. The samples are cut into chunks claimed in any order by the caller and the helper;
// each chunk keeps its own nearest sample, and the chunks are merged in list order.
struct SamplePack::Scan {
    struct Best {
        float distance = FLT_MAX;
        uint32_t sample = kNone;
    };

    const SamplePack& pack;
    const FaceDescriptor& live;
    const Query& query;
    uint32_t chunks = 1;
    std::atomic<uint32_t> next{0};
    // The smallest exact distance either thread has found: any found distance is a safe bound.
    std::atomic<float> nearest{FLT_MAX};
    std::atomic<uint32_t> exact{0};
    std::array<Best, kMaxChunks> results{};

    static void Claim(void* scan) { static_cast<Scan*>(scan)->ClaimAll(); }

    void ClaimAll() {
        float bound = FLT_MAX;
        uint32_t exactHere = 0;
        for (;;) {
            const uint32_t chunk = next.fetch_add(1, std::memory_order_relaxed);
            if (chunk >= chunks) break;
            results[chunk] = RunChunk(chunk, bound, exactHere);
        }
        exact.fetch_add(exactHere, std::memory_order_relaxed);
    }

    void Publish(float distance) {
        float seen = nearest.load(std::memory_order_relaxed);
        while (distance < seen && !nearest.compare_exchange_weak(seen, distance, std::memory_order_relaxed)) {
        }
    }

    Best RunChunk(uint32_t chunk, float& bound, uint32_t& exactHere) {
        const uint64_t blocks = pack.blocks_.size();
        const auto first = static_cast<uint32_t>(blocks * chunk / chunks);
        const auto last = static_cast<uint32_t>(blocks * (chunk + 1) / chunks);
        bound = std::min(bound, nearest.load(std::memory_order_relaxed));
        int32_t limit = pack.Limit(query, bound);
        Best best;
        alignas(64) int32_t values[kLanes];
        for (uint32_t b = first; b < last; ++b) {
            for (uint32_t lanes = pack.kernel_(pack.blocks_[b], query, limit, values); lanes != 0; lanes &= lanes - 1) {
                const auto lane = static_cast<uint32_t>(std::countr_zero(lanes));
                const uint32_t i = b * kLanes + lane;
                if (i >= pack.count_) continue;
                const float error = pack.errors_[i];
                if (!std::isinf(error)) {
                    // The sample's own error is usually below the pack's largest one.
                    const double steps = std::max(0.0, double(values[lane]) + double(query.offset));
                    const double lower = (pack.scale_ * std::sqrt(steps) - query.error - error) * (1 - kRelativeSlack) -
                                         kAbsoluteSlack;
                    if (lower > bound) continue;
                }
                const float distance = DescriptorDistance(live, *pack.samples_[i]);
                ++exactHere;
                if (distance < best.distance) best = {distance, i};
                if (distance < bound) {
                    bound = distance;
                    limit = pack.Limit(query, bound);
                    Publish(distance);
                }
            }
        }
        return best;
    }
};

PackKernel SamplePack::FastestKernel() {
    if (Supported(PackKernel::Avx512Vnni)) return PackKernel::Avx512Vnni;
    if (Supported(PackKernel::Avx2)) return PackKernel::Avx2;
    return PackKernel::Portable;
}

bool SamplePack::Supported(PackKernel kernel) {
    switch (kernel) {
    case PackKernel::Portable:
        return true;
    case PackKernel::Avx2:
        return __builtin_cpu_supports("avx2");
    case PackKernel::Avx512Vnni:
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vnni");
    }
    return false;
}

SamplePack::SamplePack(const PersonModelSet& persons, PackKernel kernel)
    : kernel_(kernel == PackKernel::Avx512Vnni ? VnniLanes : kernel == PackKernel::Avx2 ? Avx2Lanes : PortableLanes) {
    OSTROVID_ASSERT(Supported(kernel), "the processor runs the pack's kernel");
    size_t total = 0;
    for (const auto& person : persons) total += person->descriptors.Count();
    samples_.reserve(total);
    owners_.reserve(total);
    for (const auto& person : persons) {
        for (const auto& sample : person->descriptors) {
            samples_.push_back(sample.get());
            owners_.push_back(person.get());
        }
    }
    count_ = static_cast<uint32_t>(samples_.size());

    // Largest magnitude of each sample; negative for one that is not finite or too large.
    std::vector<float> peaks(count_);
    std::vector<float> usablePeaks;
    usablePeaks.reserve(count_);
    for (uint32_t i = 0; i < count_; ++i) {
        float peak = 0;
        bool usable = true;
        for (float v : samples_[i]->values) {
            usable = usable && std::fabs(v) <= kUsableLimit;
            peak = std::max(peak, std::fabs(v));
        }
        peaks[i] = usable ? peak : -1;
        if (usable) usablePeaks.push_back(peak);
    }
    double range = 0;
    if (!usablePeaks.empty()) {
        const auto at = static_cast<size_t>(static_cast<double>(usablePeaks.size() - 1) * kCoveredShare);
        std::nth_element(usablePeaks.begin(), usablePeaks.begin() + static_cast<ptrdiff_t>(at), usablePeaks.end());
        range = usablePeaks[at];
    }
    if (!(range > 0)) range = 1;  // every usable sample is zero: any scale is exact
    scale_ = range / kSteps;
    const double inverse = 1 / scale_;

    blocks_.resize((count_ + kLanes - 1) / kLanes);
    errors_.resize(count_);
    for (uint32_t i = 0; i < static_cast<uint32_t>(blocks_.size()) * kLanes; ++i) {
        Block& block = blocks_[i / kLanes];
        const uint32_t lane = i % kLanes;
        const bool usable = i < count_ && peaks[i] >= 0;
        if (!usable) {
            for (uint32_t k = 0; k < FaceDescriptor::kSize; ++k) block.codes[k / 4][lane * 4 + k % 4] = 128;
            block.squares[lane] = i < count_ ? kAlwaysExact : kPadding;
            if (i < count_) errors_[i] = INFINITY;
            continue;
        }
        int32_t squares = 0;
        double error = 0;
        for (uint32_t k = 0; k < FaceDescriptor::kSize; ++k) {
            const double v = samples_[i]->values[k];
            const int step = Step(v, inverse);
            block.codes[k / 4][lane * 4 + k % 4] = static_cast<uint8_t>(step + 128);
            squares += step * step;
            const double left = v - scale_ * step;
            error += left * left;
        }
        errors_[i] = RoundedUp(Inflated(std::sqrt(error), range + peaks[i]));
        if (peaks[i] > range) {
            // Clipped: its error would loosen the bound of every sample.
            block.squares[lane] = kAlwaysExact;
            errors_[i] = INFINITY;
        } else {
            block.squares[lane] = squares;
            errorLimit_ = std::max(errorLimit_, static_cast<double>(errors_[i]));
        }
    }
}

SamplePack::~SamplePack() = default;

std::optional<SamplePack::Query> SamplePack::MakeQuery(const FaceDescriptor& live) const {
    Query query;
    double error = 0;
    double peak = 0;
    int64_t squares = 0;
    int64_t sum = 0;
    for (uint32_t k = 0; k < FaceDescriptor::kSize; ++k) {
        const float v = live.values[k];
        if (!(std::fabs(v) <= kUsableLimit)) return std::nullopt;
        const int step = Step(v, 1 / scale_);
        query.steps[k] = static_cast<int8_t>(step);
        squares += step * step;
        sum += step;
        const double left = static_cast<double>(v) - scale_ * step;
        error += left * left;
        peak = std::max(peak, static_cast<double>(std::fabs(v)));
    }
    for (uint32_t g = 0; g < kGroups; ++g) {
        uint32_t group = 0;
        for (uint32_t t = 0; t < 4; ++t) group |= uint32_t(uint8_t(query.steps[g * 4 + t])) << (8 * t);
        query.groups[g] = static_cast<int32_t>(group);
        uint64_t wide = 0;
        for (uint32_t t = 0; t < 4; ++t) wide |= uint64_t(uint16_t(int16_t(query.steps[g * 4 + t]))) << (16 * t);
        query.wideGroups[g] = static_cast<int64_t>(wide);
    }
    query.offset = squares + 256 * sum;
    query.error = Inflated(std::sqrt(error), scale_ * kSteps + peak);
    return query;
}

// A sample's distance is at least scale * sqrt(N) - query.error - its own error, and the float
// computation lies within the slack of that. So a lane whose bound can be at most best has
// N <= reach^2; the limit errs on the side of passing.
int32_t SamplePack::Limit(const Query& query, float best) const {
    const double adjusted = (static_cast<double>(best) + kAbsoluteSlack) / (1 - kRelativeSlack);
    const double reach = (adjusted + query.error + errorLimit_) / scale_;
    const double limit = std::ceil(reach * reach * (1 + 1e-12)) + 1 - static_cast<double>(query.offset);
    return limit >= double(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(limit);
}

std::optional<SamplePack::Nearest> SamplePack::PlainNearest(const FaceDescriptor& live) const {
    float best = FLT_MAX;
    uint32_t winner = kNone;
    for (uint32_t i = 0; i < count_; ++i) {
        const float distance = DescriptorDistance(live, *samples_[i]);
        if (distance < best) {
            best = distance;
            winner = i;
        }
    }
    if (winner == kNone) return std::nullopt;
    return Nearest{best, owners_[winner], winner};
}

std::optional<SamplePack::Nearest> SamplePack::FindNearest(const FaceDescriptor& live, ScanHelper* helper,
                                                           uint32_t* exactCount) const {
    const std::optional<Query> query = MakeQuery(live);
    if (!query) {
        if (exactCount != nullptr) *exactCount = count_;
        return PlainNearest(live);
    }
    Scan scan{*this, live, *query};
    if (count_ >= kSplitSamples) scan.chunks = std::min<uint32_t>(kMaxChunks, static_cast<uint32_t>(blocks_.size()));
    if (helper != nullptr && scan.chunks > 1) {
        helper->Share(&Scan::Claim, &scan);
    } else {
        scan.ClaimAll();
    }
    if (exactCount != nullptr) *exactCount = scan.exact.load(std::memory_order_relaxed);

    Scan::Best best;
    for (uint32_t chunk = 0; chunk < scan.chunks; ++chunk) {
        if (scan.results[chunk].distance < best.distance) best = scan.results[chunk];
    }
    if (best.sample == kNone) return std::nullopt;
    return Nearest{best.distance, owners_[best.sample], best.sample};
}


}  // namespace recognition
