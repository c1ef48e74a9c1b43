#pragma once
// Purpose: a few instances of the descriptor network shared by any number of describing threads
//   (the prediction workers, the snapshot thread). A thread borrows an instance for one network
//   call through a Lease and gives it back when the lease ends. Only as many calls as there are
//   cores run at once, so a pool of one instance per core keeps the throughput of one instance
//   per thread at a fraction of the memory, and every instance gives the same descriptors.
//   Instances are copied from the source when a borrower finds none free, up to the capacity: a
//   program whose workers never describe (an empty person database) holds none.
// Threads: any thread may borrow; borrowers are served first come, first served, so a wait lasts
//   at most as long as the calls ahead of it (or one copy of the network). A thread holds at most
//   one lease at a time and ends it itself (checked): a second lease could wait for the first
//   forever.
// Owns: the instances it made. The source is the caller's; it must outlive the pool and is only
//   ever copied, never run (nobody may run it while a copy is made). Every lease must have ended
//   before the pool goes (checked).

#include "app/recognition/face_network.h"

#include <condition_variable>
#include <cstdint>
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

    // At most `capacity` copies of `source` (at least one), made when first needed.
    FaceNetworkPool(const FaceNetwork& source, int capacity);
    ~FaceNetworkPool();
    FaceNetworkPool(const FaceNetworkPool&) = delete;
    FaceNetworkPool& operator=(const FaceNetworkPool&) = delete;

    // Waits for a free instance, after the borrowers that came before; makes one when none is
    // free and the capacity allows. Throws std::bad_alloc when the pool has no instance and the
    // first copy does not fit in memory; once one exists, a copy that does not fit lowers the
    // capacity to the instances there are and the borrower waits for one of them.
    Lease Borrow();

    // The descriptor of one chip through a borrowed instance.
    FaceDescriptor Describe(const dlib::matrix<dlib::rgb_pixel>& chip);

    int Capacity() const;
    // Instances made so far.
    int Made() const;
    // Borrowers waiting now.
    int Waiting() const;

private:
    void GiveBack(FaceNetwork& network);

    const FaceNetwork& source_;
    mutable std::mutex mutex_;
    std::condition_variable returned_;
    size_t capacity_;
    std::vector<std::unique_ptr<FaceNetwork>> networks_;
    // Given back last, lent first: its buffers are the most likely to be still in the cache.
    std::vector<FaceNetwork*> free_;
    // Borrowers draw a ticket and are served in ticket order.
    uint64_t nextTicket_ = 0;
    uint64_t serving_ = 0;
};

}  // namespace recognition
