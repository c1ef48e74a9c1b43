#pragma once
// A compact copy of every sample of a set of person models, in list order, that lets a match
// skip most exact distances without changing its result.
//
// Each sample is kept as 128 signed 8-bit steps of one scale shared by the whole pack, with an
// upper bound of its rounding error. A cheap integer pass then gives every sample a lower bound
// of the distance DescriptorDistance would compute for it; only samples whose bound does not
// exceed the nearest exact distance found so far get the exact computation, in list order. A
// skipped sample is farther than a distance already found, so it could neither win nor tie.
//
// Threads: built by the thread that changes the model set, while nobody matches against it;
//   afterwards FindNearest may run on any number of threads at once.
// Owns: the steps and bounds; it points into the persons and samples it was built from, which
//   must neither change nor move while the pack exists (PersonModelSet drops it on any change).

#include "app/recognition/face_descriptor.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace recognition {

struct PersonModel;
class PersonModelSet;
class ScanHelper;

// The instructions of the cheap pass; all give the same bounds.
enum class PackKernel { Portable, Avx2, Avx512Vnni };

class SamplePack {
public:
    // From this many samples on, one match is split over the helper thread too.
    static constexpr uint32_t kSplitSamples = 1u << 16;

    // The fastest kernel this processor runs.
    static PackKernel FastestKernel();
    static bool Supported(PackKernel kernel);

    // Throws std::bad_alloc. kernel must be supported.
    explicit SamplePack(const PersonModelSet& persons, PackKernel kernel = FastestKernel());
    ~SamplePack();
    SamplePack(const SamplePack&) = delete;
    SamplePack& operator=(const SamplePack&) = delete;

    struct Nearest {
        float distance = 0;
        const PersonModel* person = nullptr;
        uint32_t sample = 0;  // position in list order over all samples
    };

    // The first sample in list order with the smallest distance below FLT_MAX and its owner, as
    // the sequential scan finds it; nothing when there is none. helper may be null. exactCount,
    // when given, receives how many samples got the exact computation.
    std::optional<Nearest> FindNearest(const FaceDescriptor& live, ScanHelper* helper,
                                       uint32_t* exactCount = nullptr) const;

    uint32_t Count() const { return count_; }

    // Defined where the kernels are.
    struct Block;
    struct Query;
    using Kernel = uint32_t (*)(const Block& block, const Query& query, int32_t limit, int32_t* values);

private:
    struct Scan;

    std::optional<Query> MakeQuery(const FaceDescriptor& live) const;
    // Integer threshold of the cheap pass for the exact distance best (see Block).
    int32_t Limit(const Query& query, float best) const;
    std::optional<Nearest> PlainNearest(const FaceDescriptor& live) const;

    Kernel kernel_;
    uint32_t count_ = 0;
    double scale_ = 1;      // value of one step
    double errorLimit_ = 0; // largest rounding error of a sample that takes the cheap pass
    std::vector<Block> blocks_;
    std::vector<float> errors_;  // per sample; infinity: always exact
    std::vector<const FaceDescriptor*> samples_;
    std::vector<const PersonModel*> owners_;
};

}  // namespace recognition
