#pragma once
// A second thread that helps one caller at a time through a scan split into pieces, so that a
// single match over a large working set uses both cores.
//
// Threads: Share from any number of threads at once; only one caller gets the helper, the others
// do their whole scan alone. The destructor runs on the thread that owns the working set, when
// nobody is inside Share.
// Owns: its thread, started by the constructor and joined by the destructor.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace recognition {

class ScanHelper {
public:
    // Work that both threads may run at once. It claims pieces until none are left and then
    // returns, so the helper never holds a piece that the caller could not take itself.
    using Work = void (*)(void* context);

    // Throws std::system_error when the thread cannot be started.
    ScanHelper();
    ~ScanHelper();
    ScanHelper(const ScanHelper&) = delete;
    ScanHelper& operator=(const ScanHelper&) = delete;

    // Runs work(context) on the calling thread and, if the helper is free, on the helper too.
    // Returns when both have left it: a helper that has not started yet is called off, one that
    // has is waited for, which takes at most the piece it is working on.
    void Share(Work work, void* context);

private:
    void Run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable finished_;
    Work work_ = nullptr;  // posted and not yet finished
    void* context_ = nullptr;
    bool taken_ = false;    // the helper is running the posted work
    uint64_t posted_ = 0;   // tickets of posted work, in order
    uint64_t done_ = 0;     // ticket of the last work the helper finished or that was called off
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace recognition
