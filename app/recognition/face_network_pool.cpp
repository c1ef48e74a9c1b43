#include "app/recognition/face_network_pool.h"

#include "platform/contract.h"

#include <algorithm>

namespace recognition {
namespace {

// Leases the current thread holds, of any pool.
thread_local int leasesHeld = 0;

}  // namespace

FaceNetworkPool::Lease::Lease(FaceNetworkPool& pool, FaceNetwork& network) : pool_(pool), network_(network) {
    ++leasesHeld;
}

FaceNetworkPool::Lease::~Lease() {
    OSTROVID_ASSERT(borrower_ == std::this_thread::get_id(), "a network lease ends on the thread that borrowed it");
    --leasesHeld;
    pool_.GiveBack(network_);
}

FaceNetworkPool::FaceNetworkPool(const FaceNetwork& source, int count) {
    // Without an instance every borrower would wait forever.
    const int instances = std::max(count, 1);
    networks_.reserve(static_cast<size_t>(instances));
    for (int i = 0; i < instances; ++i) networks_.push_back(source.Copy());
    for (const auto& network : networks_) free_.push_back(network.get());
}

FaceNetworkPool::~FaceNetworkPool() {
    OSTROVID_ASSERT(free_.size() == networks_.size(), "every network lease ends before its pool");
}

FaceNetworkPool::Lease FaceNetworkPool::Borrow() {
    OSTROVID_ASSERT(leasesHeld == 0, "a thread holds one network lease at a time");
    std::unique_lock lock(mutex_);
    const uint64_t ticket = nextTicket_++;
    returned_.wait(lock, [&] { return ticket == serving_ && !free_.empty(); });
    ++serving_;
    FaceNetwork* network = free_.back();
    free_.pop_back();
    const bool more = !free_.empty() && serving_ != nextTicket_;
    lock.unlock();
    // The next in line may take another free instance at once.
    if (more) returned_.notify_all();
    return Lease(*this, *network);
}

void FaceNetworkPool::GiveBack(FaceNetwork& network) {
    {
        std::lock_guard lock(mutex_);
        free_.push_back(&network);
    }
    // Every waiter wakes, and only the one whose turn it is takes the instance.
    returned_.notify_all();
}

FaceDescriptor FaceNetworkPool::Describe(const dlib::matrix<dlib::rgb_pixel>& chip) {
    const Lease lease = Borrow();
    return lease.Network().Describe(chip);
}

int FaceNetworkPool::Waiting() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(nextTicket_ - serving_);
}

}  // namespace recognition
