// The shared descriptor networks: the same descriptors as one network per describer, however many
// threads borrow them and however their chips are gathered into calls, each network lent to one
// borrower at a time in arrival order, and the prediction workers stopped while they wait for or
// hold a network.

#include "app/recognition/face_models.h"
#include "app/recognition/face_network_pool.h"
#include "app/recognition/predict_pool.h"
#include "settings/settings_hub.h"
#include "tests/support/face_pictures.h"
#include "tests/support/match_every_face.h"
#include "tests/support/own_network_describer.h"

#include <gtest/gtest.h>

#include <dlib/image_transforms/assign_image.h>
#include <dlib/opencv/cv_image.h>
#include <opencv2/core.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace recognition {
namespace {

using namespace std::chrono_literals;

constexpr int kPooled = 3;

// Models with a pool of kPooled networks, loaded once for the binary.
FaceModels* PooledModels() {
    static QString error;
    static std::unique_ptr<FaceModels> models =
        FaceModels::Load(testsupport::FaceDataDir(), error, PooledNetworks{kPooled});
    if (!models) ADD_FAILURE() << error.toStdString() << " (scripts/prepare.sh makes the models)";
    return models.get();
}

std::unique_ptr<FaceNetwork> LoadedNetwork() {
    auto network = testsupport::LoadFaceNetwork(testsupport::FaceDataDir());
    if (!network) ADD_FAILURE() << "the descriptor network in " << testsupport::FaceDataDir().toStdString();
    return network;
}

struct PictureFace {
    cv::Mat picture;
    FrameFace face;
};

// Every face of every example picture.
std::vector<PictureFace> ExampleFaces(FaceModels& models) {
    std::vector<PictureFace> faces;
    for (const auto& entry : std::filesystem::directory_iterator(testsupport::DlibExample("faces"))) {
        if (entry.path().extension() != ".jpg") continue;
        const cv::Mat picture = ReadPictureFile(QString::fromStdString(entry.path().string()));
        EXPECT_FALSE(picture.empty()) << entry.path();
        for (const FrameFace& face : models.DetectAllFaces(picture)) faces.push_back({picture, face});
    }
    return faces;
}

bool BitIdentical(const DescribedFace& a, const DescribedFace& b) {
    return std::memcmp(a.descriptor.values.data(), b.descriptor.values.data(), FaceDescriptor::kStorageSize) == 0 &&
           cv::norm(a.chip, b.chip, cv::NORM_INF) == 0.0;
}

TEST(PooledNetworks, DescribeEveryExampleFaceBitIdenticallyToAnOwnNetworkFromManyThreads) {
    FaceModels* models = PooledModels();
    std::unique_ptr<FaceNetwork> network = LoadedNetwork();
    ASSERT_TRUE(models && network);
    const std::vector<PictureFace> faces = ExampleFaces(*models);
    ASSERT_GE(faces.size(), 30u);

    testsupport::OwnNetworkDescriber own(*models, std::move(network));
    std::vector<std::optional<DescribedFace>> expected;
    for (const PictureFace& f : faces) expected.push_back(own.Describe(f.picture, f.face));

    // More threads than networks, each with its own describer, taking the faces in turn.
    constexpr int kThreads = 3 * kPooled;
    std::vector<std::optional<DescribedFace>> got(faces.size());
    std::atomic<size_t> next{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            const std::unique_ptr<FaceDescriber> describer = models->MakeDescriber();
            for (size_t i = next++; i < faces.size(); i = next++)
                got[i] = describer->Describe(faces[i].picture, faces[i].face);
        });
    }
    for (std::thread& thread : threads) thread.join();

    int described = 0;
    for (size_t i = 0; i < faces.size(); ++i) {
        ASSERT_EQ(got[i].has_value(), expected[i].has_value()) << i;
        if (!got[i]) continue;
        ++described;
        EXPECT_TRUE(BitIdentical(*got[i], *expected[i])) << "face " << i;
    }
    EXPECT_EQ(described, static_cast<int>(faces.size()));
}

// The chip a described face was made from, back in dlib's form (same bytes).
dlib::matrix<dlib::rgb_pixel> Chip(const DescribedFace& described) {
    dlib::matrix<dlib::rgb_pixel> chip;
    dlib::assign_image(chip, dlib::cv_image<dlib::rgb_pixel>(described.chip));
    return chip;
}

bool SameBits(const FaceDescriptor& a, const FaceDescriptor& b) {
    return std::memcmp(a.values.data(), b.values.data(), FaceDescriptor::kStorageSize) == 0;
}

// One network call on several chips gives each the descriptor of a call of its own, whatever the
// batch's size and whichever chips share it.
TEST(PooledNetworks, AFewChipsInOneCallGetTheDescriptorsOfACallEach) {
    FaceModels* models = PooledModels();
    std::unique_ptr<FaceNetwork> network = LoadedNetwork();
    ASSERT_TRUE(models && network);
    const std::vector<PictureFace> faces = ExampleFaces(*models);
    std::vector<dlib::matrix<dlib::rgb_pixel>> chips;
    std::vector<FaceDescriptor> alone;
    for (const PictureFace& f : faces) {
        const std::optional<DescribedFace> described = models->DescribeFace(f.picture, f.face, *network);
        ASSERT_TRUE(described);
        chips.push_back(Chip(*described));
        alone.push_back(network->Describe(chips.back()));
        ASSERT_TRUE(SameBits(alone.back(), described->descriptor));
    }
    ASSERT_GE(chips.size(), 30u);

    for (size_t batch : {size_t{2}, FaceNetworkPool::kMostChipsPerCall, size_t{7}, chips.size()}) {
        for (size_t first = 0; first < chips.size(); first += batch) {
            const size_t end = std::min(first + batch, chips.size());
            const std::vector<FaceDescriptor> together =
                network->Describe(std::vector<dlib::matrix<dlib::rgb_pixel>>(chips.begin() + first, chips.begin() + end));
            ASSERT_EQ(together.size(), end - first);
            for (size_t i = first; i < end; ++i)
                EXPECT_TRUE(SameBits(together[i - first], alone[i])) << "chip " << i << " in a call of " << batch;
        }
    }
}

// Holds a lease on a thread of its own until released.
class Holder {
public:
    explicit Holder(FaceNetworkPool& pool)
        : thread_([this, &pool] {
              const FaceNetworkPool::Lease lease = pool.Borrow();
              held_.set_value(&lease.Network());
              release_.get_future().wait();
          }) {}
    ~Holder() {
        Release();
        thread_.join();
    }
    // The network once the lease is held; nothing while the holder still waits.
    FaceNetwork* Network(std::chrono::milliseconds wait) {
        if (heldFuture_.wait_for(wait) != std::future_status::ready) return nullptr;
        return heldFuture_.get();
    }
    void Release() {
        if (!released_) release_.set_value();
        released_ = true;
    }

private:
    std::promise<FaceNetwork*> held_;
    std::shared_future<FaceNetwork*> heldFuture_ = held_.get_future().share();
    std::promise<void> release_;
    bool released_ = false;
    std::thread thread_;
};

bool WaitForWaiting(const FaceNetworkPool& pool, int count) {
    for (auto start = std::chrono::steady_clock::now(); std::chrono::steady_clock::now() - start < 30s;) {
        if (pool.Waiting() == count) return true;
        std::this_thread::sleep_for(1ms);
    }
    return false;
}

TEST(NetworkPoolLeases, BorrowersBeyondThePoolWaitAndAreServedInArrivalOrder) {
    std::unique_ptr<FaceNetwork> network = LoadedNetwork();
    ASSERT_TRUE(network);
    FaceNetworkPool pool(*network, 2);
    EXPECT_EQ(pool.Made(), 0);

    Holder first(pool), second(pool);
    FaceNetwork* a = first.Network(30s);
    FaceNetwork* b = second.Network(30s);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(pool.Made(), 2);
    EXPECT_NE(a, b);
    EXPECT_NE(a, network.get());
    EXPECT_NE(b, network.get());

    Holder third(pool);
    ASSERT_TRUE(WaitForWaiting(pool, 1));
    Holder fourth(pool);
    ASSERT_TRUE(WaitForWaiting(pool, 2));
    EXPECT_FALSE(third.Network(50ms));

    // The first network given back goes to the earlier of the two waiting.
    second.Release();
    EXPECT_EQ(third.Network(30s), b);
    EXPECT_FALSE(fourth.Network(50ms));
    first.Release();
    EXPECT_EQ(fourth.Network(30s), a);
    EXPECT_EQ(pool.Waiting(), 0);
}

TEST(NetworkPoolLeases, ManyThreadsNeverShareANetworkAndAllGetTheirTurns) {
    std::unique_ptr<FaceNetwork> network = LoadedNetwork();
    ASSERT_TRUE(network);
    FaceNetworkPool pool(*network, 2);
    std::mutex mutex;
    std::vector<FaceNetwork*> held;
    size_t mostHeld = 0;
    bool shared = false;
    std::atomic<int> borrowed{0};
    constexpr int kThreads = 12, kBorrows = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kBorrows; ++i) {
                const FaceNetworkPool::Lease lease = pool.Borrow();
                {
                    std::lock_guard lock(mutex);
                    shared = shared || std::find(held.begin(), held.end(), &lease.Network()) != held.end();
                    held.push_back(&lease.Network());
                    mostHeld = std::max(mostHeld, held.size());
                }
                std::this_thread::yield();
                {
                    std::lock_guard lock(mutex);
                    held.erase(std::find(held.begin(), held.end(), &lease.Network()));
                }
                ++borrowed;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_FALSE(shared);
    EXPECT_LE(mostHeld, 2u);
    EXPECT_LE(pool.Made(), 2);
    EXPECT_EQ(borrowed.load(), kThreads * kBorrows);
    EXPECT_EQ(pool.Waiting(), 0);
}

// Threads that wait for the one network while it is lent are described a few at a time: the
// first served takes the chips behind it into its call, and each gets its own chip's descriptor.
TEST(NetworkPoolLeases, TheFirstInLineTakesTheChipsBehindItIntoItsCall) {
    FaceModels* models = PooledModels();
    std::unique_ptr<FaceNetwork> network = LoadedNetwork();
    ASSERT_TRUE(models && network);
    const std::vector<PictureFace> faces = ExampleFaces(*models);
    constexpr size_t kWaiting = FaceNetworkPool::kMostChipsPerCall + 2;
    ASSERT_GE(faces.size(), kWaiting);
    std::vector<dlib::matrix<dlib::rgb_pixel>> chips;
    std::vector<FaceDescriptor> expected;
    for (size_t i = 0; i < kWaiting; ++i) {
        const std::optional<DescribedFace> described = models->DescribeFace(faces[i].picture, faces[i].face, *network);
        ASSERT_TRUE(described);
        chips.push_back(Chip(*described));
        expected.push_back(described->descriptor);
    }

    FaceNetworkPool pool(*network, 1);
    auto holder = std::make_unique<Holder>(pool);
    ASSERT_TRUE(holder->Network(30s));
    std::vector<FaceDescriptor> got(kWaiting);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < kWaiting; ++i) {
        threads.emplace_back([&, i] { got[i] = pool.Describe(chips[i]); });
        EXPECT_TRUE(WaitForWaiting(pool, static_cast<int>(i + 1)));
    }
    holder.reset();
    // The first call takes kMostChipsPerCall chips out of the line at once and the next the rest:
    // the line never shortens by one call's chip alone.
    std::vector<int> lineLengths;
    for (auto start = std::chrono::steady_clock::now(); std::chrono::steady_clock::now() - start < 60s;) {
        lineLengths.push_back(pool.Waiting());
        if (lineLengths.back() == 0) break;
        std::this_thread::sleep_for(200us);
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_NE(std::find(lineLengths.begin(), lineLengths.end(), 2), lineLengths.end());
    for (int length : lineLengths) EXPECT_TRUE(length == 0 || length == 2 || length == int{kWaiting}) << length;
    EXPECT_EQ(pool.Waiting(), 0);
    EXPECT_EQ(pool.Made(), 1);
    for (size_t i = 0; i < kWaiting; ++i) EXPECT_TRUE(SameBits(got[i], expected[i])) << "chip " << i;
}

// A copy is made only when every instance there is is lent: borrowers one after another share
// one, and two at once of a pool of three make two.
TEST(NetworkPoolLeases, MakesAnInstanceOnlyWhenNoneIsFree) {
    std::unique_ptr<FaceNetwork> network = LoadedNetwork();
    ASSERT_TRUE(network);
    FaceNetworkPool pool(*network, 3);
    FaceNetwork* only = nullptr;
    for (int i = 0; i < 5; ++i) {
        std::thread([&] {
            const FaceNetworkPool::Lease lease = pool.Borrow();
            if (!only) only = &lease.Network();
            EXPECT_EQ(&lease.Network(), only);
        }).join();
    }
    EXPECT_EQ(pool.Made(), 1);

    {
        Holder first(pool), second(pool);
        ASSERT_TRUE(first.Network(30s) && second.Network(30s));
    }
    Holder third(pool);
    ASSERT_TRUE(third.Network(30s));
    EXPECT_EQ(pool.Made(), 2);
    EXPECT_EQ(pool.Capacity(), 3);
}

// Describes through a pool the test can look into.
class PoolDescriber final : public FaceDescriber {
public:
    PoolDescriber(const FaceModels& models, FaceNetworkPool& pool) : models_(models), pool_(pool) {}
    std::optional<DescribedFace> Describe(const cv::Mat& picture, const FrameFace& face) override {
        started.fetch_add(1);
        return models_.DescribeFace(picture, face, pool_);
    }
    static inline std::atomic<int> started{0};

private:
    const FaceModels& models_;
    FaceNetworkPool& pool_;
};

// Sixteen faces at once for two networks: most workers wait for a network while two describe
// when the termination event comes. They all end, and every network is back in the pool.
TEST(PooledNetworks, WorkersStopWhileTheyHoldOrWaitForNetworks) {
    FaceModels* models = PooledModels();
    std::unique_ptr<FaceNetwork> network = LoadedNetwork();
    ASSERT_TRUE(models && network);
    FaceNetworkPool pool(*network, 2);
    const cv::Mat picture = ReadPictureFile(QString::fromStdString(testsupport::DlibExample("faces/bald_guys.jpg")));
    const std::vector<FrameFace> faces = models->DetectFaces(picture, PredictPool::kWorkerCount);
    ASSERT_EQ(faces.size(), static_cast<size_t>(PredictPool::kWorkerCount));

    PersonModelSortedList persons;
    settings::SettingsHub hub;
    testsupport::MatchEveryFace(persons, hub);  // every face counts once it comes back
    platform::Event term(true, false);
    testsupport::CountingSink sink;
    PredictPool workers(
        term, sink, [&](int) { return std::make_unique<PoolDescriber>(*models, pool); }, persons, hub);
    ASSERT_TRUE(workers.Start());
    std::vector<DispatchSubject> subjects(faces.size());
    std::vector<DispatchSubject*> pointers;
    for (size_t i = 0; i < faces.size(); ++i) {
        subjects[i] = DispatchSubject{static_cast<uint32_t>(i + 1), faces[i], 0, 0, 0};
        pointers.push_back(&subjects[i]);
    }
    {
        // Every worker idle, so that each takes a face.
        platform::CriticalSectionLock lock(PredictDispatchLock);
        ASSERT_TRUE(WaitPredictThreadIddle());
    }
    PoolDescriber::started = 0;
    {
        // Both networks are held until the workers line up, however fast a call would end; then
        // at most two calls of kMostChipsPerCall chips run and the other faces' workers wait.
        Holder first(pool), second(pool);
        ASSERT_TRUE(first.Network(30s) && second.Network(30s));
        workers.DispatchFaces(picture, pointers, 46000.0);
        for (auto start = std::chrono::steady_clock::now();
             pool.Waiting() < PredictPool::kWorkerCount && std::chrono::steady_clock::now() - start < 60s;)
            std::this_thread::sleep_for(1ms);
        EXPECT_EQ(pool.Waiting(), PredictPool::kWorkerCount);
    }
    EXPECT_GE(pool.Waiting(), 4);

    term.Set();
    workers.Stop();
    EXPECT_GE(PoolDescriber::started.load(), 10);
    EXPECT_EQ(pool.Waiting(), 0);
    // Both networks can be held at once again: no lease outlived its worker.
    Holder first(pool), second(pool);
    EXPECT_TRUE(first.Network(30s));
    EXPECT_TRUE(second.Network(30s));
}

}  // namespace
}  // namespace recognition
