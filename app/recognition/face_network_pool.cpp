#include "app/recognition/face_network_pool.h"

#include "platform/contract.h"

#include <algorithm>
#include <exception>
#include <new>

namespace recognition {
namespace {

// Leases the current thread holds, of any pool.
thread_local int leasesHeld = 0;

}  // namespace

struct FaceNetworkPool::Waiter {
    // Nothing for a borrower.
    const dlib::matrix<dlib::rgb_pixel>* chip = nullptr;
    // Set, under the pool's lock, by the thread whose call described the chip.
    bool described = false;
    FaceDescriptor descriptor;
    std::exception_ptr error;
};

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
    OSTROVID_ASSERT(free_.size() == networks_.size() && line_.empty() && chipsInCalls_ == 0,
                    "every network lease and call ends before its pool");
}

bool FaceNetworkPool::Servable() const { return !free_.empty() || networks_.size() < capacity_; }

FaceNetwork* FaceNetworkPool::WaitForTurn(std::unique_lock<std::mutex>& lock, Waiter& me) {
    OSTROVID_ASSERT(leasesHeld == 0, "a thread holding a network lease waits for no other");
    line_.push_back(&me);
    for (;;) {
        // A chip taken into another's call is out of the line until described.
        returned_.wait(lock,
                       [&] { return me.described || (!line_.empty() && line_.front() == &me && Servable()); });
        if (me.described) return nullptr;
        if (!free_.empty()) break;
        // Copied under the lock: it happens at most `capacity` times in the pool's life, and
        // meanwhile only those giving back and the threads behind this one wait.
        try {
            networks_.push_back(source_.Copy());
            free_.push_back(networks_.back().get());
        } catch (const std::bad_alloc&) {
            if (networks_.empty()) {
                // The turn passes on; the next in line tries again.
                line_.pop_front();
                lock.unlock();
                returned_.notify_all();
                throw;
            }
            capacity_ = networks_.size();
        }
    }
    line_.pop_front();
    FaceNetwork* network = free_.back();
    free_.pop_back();
    return network;
}

void FaceNetworkPool::LetTheNextIn(std::unique_lock<std::mutex>& lock) {
    const bool more = !line_.empty() && Servable();
    lock.unlock();
    if (more) returned_.notify_all();
}

std::vector<FaceNetworkPool::Waiter*> FaceNetworkPool::TakeWaitingChips(Waiter& me) {
    std::vector<Waiter*> call{&me};
    for (auto it = line_.begin(); it != line_.end() && call.size() < kMostChipsPerCall;) {
        if ((*it)->chip) {
            call.push_back(*it);
            it = line_.erase(it);
        } else {
            ++it;
        }
    }
    chipsInCalls_ += call.size();
    return call;
}

FaceNetworkPool::Lease FaceNetworkPool::Borrow() {
    std::unique_lock lock(mutex_);
    Waiter me;
    FaceNetwork* network = WaitForTurn(lock, me);
    LetTheNextIn(lock);
    return Lease(*this, *network);
}

FaceDescriptor FaceNetworkPool::Describe(const dlib::matrix<dlib::rgb_pixel>& chip) {
    std::unique_lock lock(mutex_);
    Waiter me;
    me.chip = &chip;
    if (FaceNetwork* network = WaitForTurn(lock, me)) {
        const std::vector<Waiter*> call = TakeWaitingChips(me);
        LetTheNextIn(lock);
        // The waiters' fields are written outside the lock; each reads them only after seeing
        // `described` under it.
        try {
            std::vector<dlib::matrix<dlib::rgb_pixel>> chips;
            chips.reserve(call.size());
            for (const Waiter* waiter : call) chips.push_back(*waiter->chip);
            const std::vector<FaceDescriptor> descriptors = network->Describe(chips);
            for (size_t i = 0; i < call.size(); ++i) call[i]->descriptor = descriptors[i];
        } catch (...) {
            for (Waiter* waiter : call) waiter->error = std::current_exception();
        }
        lock.lock();
        // Once `described` is set and the lock released, the other waiters may be gone.
        for (Waiter* waiter : call) waiter->described = true;
        chipsInCalls_ -= call.size();
        free_.push_back(network);
        lock.unlock();
        returned_.notify_all();
    }
    if (me.error) std::rethrow_exception(me.error);
    return me.descriptor;
}

void FaceNetworkPool::GiveBack(FaceNetwork& network) {
    {
        std::lock_guard lock(mutex_);
        free_.push_back(&network);
    }
    // Every waiter wakes, and only the one whose turn it is takes the instance.
    returned_.notify_all();
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
    return static_cast<int>(line_.size());
}

}  // namespace recognition
