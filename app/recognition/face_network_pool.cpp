#include "app/recognition/face_network_pool.h"

#include "platform/contract.h"

#include <algorithm>
#include <new>

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

FaceNetworkPool::FaceNetworkPool(const FaceNetwork& source, int capacity)
    // Without an instance every borrower would wait forever.
    : source_(source), capacity_(static_cast<size_t>(std::max(capacity, 1))) {
    networks_.reserve(capacity_);
    free_.reserve(capacity_);
}

FaceNetworkPool::~FaceNetworkPool() {
    OSTROVID_ASSERT(free_.size() == networks_.size(), "every network lease ends before its pool");
}

FaceNetworkPool::Lease FaceNetworkPool::Borrow() {
    OSTROVID_ASSERT(leasesHeld == 0, "a thread holds one network lease at a time");
    std::unique_lock lock(mutex_);
    const uint64_t ticket = nextTicket_++;
    const auto servable = [&] { return !free_.empty() || networks_.size() < capacity_; };
    for (;;) {
        returned_.wait(lock, [&] { return ticket == serving_ && servable(); });
        if (!free_.empty()) break;
        // Copied under the lock: it happens at most `capacity` times in the pool's life, and
        // meanwhile only those giving back and the borrowers behind this one wait.
        try {
            networks_.push_back(source_.Copy());
            free_.push_back(networks_.back().get());
        } catch (const std::bad_alloc&) {
            if (networks_.empty()) {
                // The turn passes on; the next borrower tries again.
                ++serving_;
                lock.unlock();
                returned_.notify_all();
                throw;
            }
            capacity_ = networks_.size();
        }
    }
    ++serving_;
    FaceNetwork* network = free_.back();
    free_.pop_back();
    const bool more = servable() && serving_ != nextTicket_;
    lock.unlock();
    // The next in line may take, or make, another instance at once.
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

int FaceNetworkPool::Capacity() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(capacity_);
}

int FaceNetworkPool::Made() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(networks_.size());
}

int FaceNetworkPool::Waiting() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(nextTicket_ - serving_);
}

}  // namespace recognition
