#pragma once
// Purpose: events, waits, locks and threads that stand in for the Windows kernel objects the
//   program is built around. Every waitable object owns a file descriptor, so one poll() can wait
//   for events, semaphores and sockets together.
// Threads: any thread may set, reset, wait for and lock every object here; a CriticalSection is
//   left by the thread that entered it.
// Owns: each Event and Semaphore its eventfd (closed on destruction); ReadableFd borrows its
//   descriptor; StartNamedThread hands the thread to the caller.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <string>
#include <thread>

namespace platform {

// Something WaitForAny can wait for.
class Waitable {
public:
    virtual ~Waitable() = default;
    // Descriptor that becomes readable when the object may be signalled.
    virtual int PollFd() const = 0;
    // Called after poll() reported the descriptor readable: takes the signal (auto-reset
    // events and semaphores consume it) and says whether the object really was signalled.
    virtual bool TryAcquire() = 0;
};

// Manual- or auto-reset event backed by an eventfd.
class Event final : public Waitable {
public:
    Event(bool manualReset, bool initiallySet);
    ~Event() override;
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Reset();
    // True when the event is signalled; for an auto-reset event this consumes the signal.
    bool Wait(int timeoutMs);
    bool Wait(std::chrono::milliseconds timeout) { return Wait(int(timeout.count())); }
    bool IsManualReset() const { return manualReset_; }
    // False when the system could not make the event.
    bool IsValid() const { return fd_ >= 0; }

    int PollFd() const override { return fd_; }
    bool TryAcquire() override;

private:
    int fd_;
    bool manualReset_;
    // Counts the sets. A waiter of a manual-reset event only polls the descriptor and reads nothing
    // from it, so what the setter wrote before Set reaches the waiter through this counter.
    std::atomic<uint32_t> sets_{0};
};

// Counting semaphore backed by an eventfd in semaphore mode.
class Semaphore final : public Waitable {
public:
    explicit Semaphore(unsigned initialCount);
    ~Semaphore() override;
    Semaphore(const Semaphore&) = delete;
    Semaphore& operator=(const Semaphore&) = delete;

    void Release(unsigned count = 1);
    bool Wait(int timeoutMs);

    int PollFd() const override { return fd_; }
    bool TryAcquire() override;

private:
    int fd_;
};

// A descriptor (socket, pipe) that counts as signalled while it is readable; nothing is consumed.
class ReadableFd final : public Waitable {
public:
    explicit ReadableFd(int fd) : fd_(fd) {}
    int PollFd() const override { return fd_; }
    bool TryAcquire() override { return true; }

private:
    int fd_;
};

constexpr int kInfinite = -1;
constexpr int kWaitTimeout = -1;
constexpr int kWaitFailed = -2;

// Waits until one of the objects is signalled and returns its index; when several are, the
// lowest index wins, as WaitForMultipleObjects does. kWaitTimeout after timeoutMs (kInfinite
// waits for ever), kWaitFailed when poll() fails.
int WaitForAny(std::initializer_list<Waitable*> objects, int timeoutMs);
int WaitForAny(Waitable* const* objects, size_t count, int timeoutMs);
inline int WaitForAny(std::initializer_list<Waitable*> objects, std::chrono::milliseconds timeout) {
    return WaitForAny(objects, int(timeout.count()));
}

// Recursive lock, like a Windows critical section. It records its owner, so that a rule "held
// while ..." can be checked.
class CriticalSection {
public:
    void Enter() {
        mutex_.lock();
        Entered();
    }
    void Leave() {
        if (--depth_ == 0) owner_.store(std::thread::id(), std::memory_order_relaxed);
        mutex_.unlock();
    }
    bool TryEnter() {
        if (!mutex_.try_lock()) return false;
        Entered();
        return true;
    }
    // Lets std::lock_guard / std::unique_lock hold it.
    void lock() { Enter(); }
    void unlock() { Leave(); }
    bool HeldByCurrentThread() const { return owner_.load(std::memory_order_relaxed) == std::this_thread::get_id(); }

private:
    void Entered() {
        if (depth_++ == 0) owner_.store(std::this_thread::get_id(), std::memory_order_relaxed);
    }

    std::recursive_mutex mutex_;
    int depth_ = 0;  // under mutex_
    std::atomic<std::thread::id> owner_;
};

using CriticalSectionLock = std::lock_guard<CriticalSection>;

// Starts a std::thread whose system name (pthread_setname_np, at most 15 characters) is the
// given name, so that thread lists and debuggers show the thread function of the design.
std::thread StartNamedThread(const std::string& name, std::function<void()> body);

// Name of the calling thread as the system knows it.
std::string CurrentThreadName();

}  // namespace platform
