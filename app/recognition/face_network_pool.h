#pragma once
// Purpose: a few instances of the descriptor network shared by any number of describing threads
//   (the prediction workers, the snapshot thread). A thread borrows an instance for one network
//   call through a Lease and gives it back when the lease ends. Only as many calls as there are
//   cores run at once, so a pool of one instance per core keeps the throughput of one instance
//   per thread at a fraction of the memory, and every instance gives the same descriptors.
// Threads: any thread may borrow; borrowers are served first come, first served, so a wait lasts
//   at most as long as the calls ahead of it. A thread holds at most one lease at a time and ends
//   it itself (checked): a second lease could wait for the first forever.
// Owns: its network instances, copied from the loaded one when the pool is made. Every lease
//   must have ended before the pool goes (checked).

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

    // `count` copies of `source` (at least one). Throws std::bad_alloc when they do not fit.
    FaceNetworkPool(const FaceNetwork& source, int count);
    ~FaceNetworkPool();
    FaceNetworkPool(const FaceNetworkPool&) = delete;
    FaceNetworkPool& operator=(const FaceNetworkPool&) = delete;

    // Waits for a free instance, after the borrowers that came before.
    Lease Borrow();

    // The descriptor of one chip through a borrowed instance.
    FaceDescriptor Describe(const dlib::matrix<dlib::rgb_pixel>& chip);

    int Size() const { return static_cast<int>(networks_.size()); }
    // Borrowers waiting now.
    int Waiting() const;

private:
    void GiveBack(FaceNetwork& network);

    std::vector<std::unique_ptr<FaceNetwork>> networks_;
    mutable std::mutex mutex_;
    std::condition_variable returned_;
    // Taken last, lent first: its buffers are the most likely to be still in the cache.
    std::vector<FaceNetwork*> free_;
    // Borrowers draw a ticket and are served in ticket order.
    uint64_t nextTicket_ = 0;
    uint64_t serving_ = 0;
};

}  // namespace recognition
