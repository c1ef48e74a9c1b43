#pragma once
// Purpose: a few instances of the descriptor network shared by any number of describing threads
//   (the prediction workers, the snapshot thread). Only as many calls as there are cores run at
//   once, so a pool of one instance per core keeps the throughput of one instance per thread at a
//   fraction of the memory, and every instance gives the same descriptors. A thread that comes for
//   a descriptor while others wait takes theirs along: one network call on a few chips costs less
//   per chip than a call each, and gives the same descriptors. A thread may also borrow an
//   instance for its own use through a Lease.
//   Instances are copied from the source when a borrower finds none free, up to the capacity: a
//   program whose workers never describe (an empty person database) holds none.
// Threads: any thread may borrow or describe; they are served first come, first served, so a wait
//   lasts at most as long as the calls ahead of it (or one copy of the network). A thread holds at
//   most one lease at a time, does not describe while it holds one, and ends it itself (checked):
//   otherwise it could wait for itself forever.
// Owns: the instances it made. The source is the caller's; it must outlive the pool and is only
//   ever copied, never run (nobody may run it while a copy is made). Every lease and call must
//   have ended before the pool goes (checked).

#include "app/recognition/face_network.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace recognition {

class FaceNetworkPool {
public:
    // Exclusive use of one instance until the lease ends, on the thread that borrowed it.
    class Lease {
    public:
        ~Lease();
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        FaceNetwork& Network() const { return network_; }

    private:
        friend class FaceNetworkPool;
        Lease(FaceNetworkPool& pool, FaceNetwork& network);
        FaceNetworkPool& pool_;
        FaceNetwork& network_;
        std::thread::id borrower_ = std::this_thread::get_id();
    };

    // Most chips in one network call: enough for most of the saving, few enough that the chips
    // waiting are spread over every core's call rather than queued behind one.
    static constexpr size_t kMostChipsPerCall = 4;

    // At most `capacity` copies of `source` (at least one), made when first needed.
    FaceNetworkPool(const FaceNetwork& source, int capacity);
    ~FaceNetworkPool();
    FaceNetworkPool(const FaceNetworkPool&) = delete;
    FaceNetworkPool& operator=(const FaceNetworkPool&) = delete;

    // Waits for a free instance, after the threads that came before; makes one when none is free
    // and the capacity allows. Throws std::bad_alloc when the pool has no instance and the first
    // copy does not fit in memory; once one exists, a copy that does not fit lowers the capacity
    // to the instances there are and the borrower waits for one of them.
    Lease Borrow();

    // The descriptor of one chip. Waits in line like Borrow, unless a thread ahead of it takes the
    // chip into its own call; once first, takes the chips waiting behind it into its call, up to
    // kMostChipsPerCall. Throws what the call or the copy of an instance throws (std::bad_alloc).
    FaceDescriptor Describe(const dlib::matrix<dlib::rgb_pixel>& chip);

    int Capacity() const;
    // Instances made so far.
    int Made() const;
    // Threads waiting in line for an instance now (not those whose chip is already in a call).
    int Waiting() const;

private:
    struct Waiter;

    // Waits until `me` is first in line and an instance is free or may be made, then takes `me`
    // out of the line and the instance off the free list. Nothing when another thread described
    // `me`'s chip meanwhile.
    FaceNetwork* WaitForTurn(std::unique_lock<std::mutex>& lock, Waiter& me);
    bool Servable() const;
    // Wakes the next in line when it may be served too; called with the lock, which it releases.
    void LetTheNextIn(std::unique_lock<std::mutex>& lock);
    // The chips waiting behind `me`, taken out of the line into `me`'s call.
    std::vector<Waiter*> TakeWaitingChips(Waiter& me);
    void GiveBack(FaceNetwork& network);

    const FaceNetwork& source_;
    mutable std::mutex mutex_;
    std::condition_variable returned_;
    size_t capacity_;
    std::vector<std::unique_ptr<FaceNetwork>> networks_;
    // Given back last, lent first: its buffers are the most likely to be still in the cache.
    std::vector<FaceNetwork*> free_;
    // The threads waiting for an instance, in arrival order; each waiter lives on its thread's stack.
    std::deque<Waiter*> line_;
    // Chips taken into a call that has not ended yet.
    size_t chipsInCalls_ = 0;
};

}  // namespace recognition
