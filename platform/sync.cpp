#include "platform/sync.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace platform {

namespace {

int NewEventFd(unsigned initial, int extraFlags) { return eventfd(initial, EFD_CLOEXEC | EFD_NONBLOCK | extraFlags); }

void AddToCounter(int fd, uint64_t value) {
    while (write(fd, &value, sizeof value) < 0 && errno == EINTR) {
    }
}

// Takes one unit (semaphore mode) or the whole counter; false when it was already zero.
bool TakeFromCounter(int fd) {
    uint64_t value = 0;
    for (;;) {
        if (read(fd, &value, sizeof value) == static_cast<ssize_t>(sizeof value)) return true;
        if (errno != EINTR) return false;
    }
}

bool IsReadableNow(int fd) {
    pollfd p{fd, POLLIN, 0};
    int n;
    while ((n = poll(&p, 1, 0)) < 0 && errno == EINTR) {
    }
    return n > 0 && (p.revents & POLLIN);
}

// Milliseconds left until the deadline, rounded up so that a wait never ends early.
int RemainingMs(std::chrono::steady_clock::time_point deadline) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

Event::Event(bool manualReset, bool initiallySet)
    : fd_(NewEventFd(initiallySet ? 1 : 0, 0)), manualReset_(manualReset) {}

Event::~Event() {
    if (fd_ >= 0) close(fd_);
}

void Event::Set() {
    sets_.fetch_add(1, std::memory_order_release);
    AddToCounter(fd_, 1);
}

void Event::Reset() { TakeFromCounter(fd_); }

bool Event::Wait(int timeoutMs) { return WaitForAny({this}, timeoutMs) == 0; }

bool Event::TryAcquire() {
    // A manual-reset event stays signalled for every waiter; an auto-reset one is taken by the
    // first reader, and a waiter that finds it already taken keeps waiting.
    const bool signalled = manualReset_ ? IsReadableNow(fd_) : TakeFromCounter(fd_);
    if (signalled) static_cast<void>(sets_.load(std::memory_order_acquire));
    return signalled;
}

Semaphore::Semaphore(unsigned initialCount) : fd_(NewEventFd(initialCount, EFD_SEMAPHORE)) {}

Semaphore::~Semaphore() {
    if (fd_ >= 0) close(fd_);
}

void Semaphore::Release(unsigned count) {
    if (count > 0) AddToCounter(fd_, count);
}

bool Semaphore::Wait(int timeoutMs) { return WaitForAny({this}, timeoutMs) == 0; }

bool Semaphore::TryAcquire() { return TakeFromCounter(fd_); }

int WaitForAny(std::initializer_list<Waitable*> objects, int timeoutMs) {
    return WaitForAny(objects.begin(), objects.size(), timeoutMs);
}

int WaitForAny(Waitable* const* objects, size_t count, int timeoutMs) {
    std::vector<pollfd> fds(count);
    for (size_t i = 0; i < count; ++i) {
        fds[i] = pollfd{objects[i]->PollFd(), POLLIN, 0};
        // poll() would skip a negative descriptor and the wait could never end.
        if (fds[i].fd < 0) return kWaitFailed;
    }
    const bool infinite = timeoutMs < 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(infinite ? 0 : timeoutMs);

    for (;;) {
        const int waitMs = infinite ? -1 : RemainingMs(deadline);
        const int ready = poll(fds.data(), fds.size(), waitMs);
        if (ready < 0) {
            if (errno == EINTR) continue;
            return kWaitFailed;
        }
        if (ready == 0) {
            if (!infinite && RemainingMs(deadline) == 0) return kWaitTimeout;
            continue;
        }
        for (size_t i = 0; i < count; ++i) {
            if (fds[i].revents & POLLNVAL) return kWaitFailed;
        }
        for (size_t i = 0; i < count; ++i) {
            if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) && objects[i]->TryAcquire()) {
                return static_cast<int>(i);
            }
        }
        // Another waiter took the signal first: wait again for what is left of the time.
        if (!infinite && RemainingMs(deadline) == 0) return kWaitTimeout;
    }
}

std::thread StartNamedThread(const std::string& name, std::function<void()> body) {
    // The thread names itself before running the body, so the body always sees its name.
    return std::thread([systemName = name.substr(0, 15), body = std::move(body)] {
        pthread_setname_np(pthread_self(), systemName.c_str());
        body();
    });
}

std::string CurrentThreadName() {
    char name[16] = {};
    if (pthread_getname_np(pthread_self(), name, sizeof name) != 0) return {};
    return name;
}

}  // namespace platform
