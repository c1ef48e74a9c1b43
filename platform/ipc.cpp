#include "platform/ipc.h"

#include "platform/syserror.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace platform {

namespace {

constexpr const char* kShmFolder = "/dev/shm/";
// Objects are created private and widened only by AddEveryoneAccess, like a default access list.
constexpr mode_t kCreatorOnly = 0600;
constexpr mode_t kEveryone = 0666;

int LastError() { return ErrorCodeFromErrno(errno); }

int Widen(int fd) { return fchmod(fd, kEveryone) == 0 ? kErrorSuccess : LastError(); }

void CloseFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

// Opens the named file, creating it when it does not exist; `created` tells which happened.
int OpenOrCreateFile(const std::string& path, int& fd, bool& created) {
    fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, kCreatorOnly);
    created = fd >= 0;
    if (fd < 0 && errno == EEXIST) fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    return fd >= 0 ? kErrorSuccess : LastError();
}

}  // namespace

std::string IpcNamespace() {
    const char* ns = std::getenv("OSTROVID_IPC_NAMESPACE");
    return ns ? ns : "";
}

std::string IpcObjectPath(const std::string& name) { return kShmFolder + IpcNamespace() + name; }

// --- shared memory ---

NamedSharedMemory::~NamedSharedMemory() { Close(false); }

int NamedSharedMemory::Create(const std::string& name, size_t size) {
    Close(false);
    shmName_ = "/" + IpcNamespace() + name;
    fd_ = shm_open(shmName_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, kCreatorOnly);
    created_ = fd_ >= 0;
    if (fd_ < 0 && errno == EEXIST) fd_ = shm_open(shmName_.c_str(), O_RDWR | O_CLOEXEC, 0);
    if (fd_ < 0) return LastError();
    if (ftruncate(fd_, static_cast<off_t>(size)) != 0) {
        const int error = LastError();
        Close(created_);
        return error;
    }
    size_ = size;
    return kErrorSuccess;
}

int NamedSharedMemory::Open(const std::string& name, size_t size) {
    Close(false);
    shmName_ = "/" + IpcNamespace() + name;
    created_ = false;
    fd_ = shm_open(shmName_.c_str(), O_RDWR | O_CLOEXEC, 0);
    if (fd_ < 0) return LastError();
    // An area shorter than expected would fault on access instead of failing here.
    struct stat st {};
    if (fstat(fd_, &st) != 0 || static_cast<size_t>(st.st_size) < size) {
        Close(false);
        return kErrorInvalidHandle;
    }
    size_ = size;
    return kErrorSuccess;
}

int NamedSharedMemory::Map() {
    if (fd_ < 0) return kErrorInvalidHandle;
    if (data_) return kErrorSuccess;
    void* p = mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
    if (p == MAP_FAILED) return LastError();
    data_ = static_cast<uint8_t*>(p);
    return kErrorSuccess;
}

void NamedSharedMemory::Close(bool removeName) {
    if (data_) munmap(data_, size_);
    data_ = nullptr;
    if (fd_ >= 0 && removeName) shm_unlink(shmName_.c_str());
    CloseFd(fd_);
    size_ = 0;
}

int NamedSharedMemory::AddEveryoneAccess() const { return Widen(fd_); }

// --- events ---

NamedEvent::~NamedEvent() { Close(); }

void NamedEvent::Close() { CloseFd(fd_); }

int NamedEvent::Create(const std::string& name) {
    Close();
    const std::string path = IpcObjectPath(name);
    created_ = mkfifo(path.c_str(), kCreatorOnly) == 0;
    if (!created_ && errno != EEXIST) return LastError();
    // Read-write, so the FIFO never reports end-of-file and a set needs no reader present.
    fd_ = open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) return LastError();
    struct stat st {};
    if (fstat(fd_, &st) != 0 || !S_ISFIFO(st.st_mode)) {
        CloseFd(fd_);
        return kErrorInvalidHandle;
    }
    return kErrorSuccess;
}

int NamedEvent::AddEveryoneAccess() const { return Widen(fd_); }

void NamedEvent::Set() {
    const char one = 1;
    // A full FIFO (EAGAIN) means the event is already set.
    while (write(fd_, &one, 1) < 0 && errno == EINTR) {
    }
}

void NamedEvent::Reset() { TryAcquire(); }

bool NamedEvent::Wait(int timeoutMs) { return WaitForAny({this}, timeoutMs) == 0; }

bool NamedEvent::TryAcquire() {
    char buffer[256];
    bool taken = false;
    for (;;) {
        const ssize_t n = read(fd_, buffer, sizeof buffer);
        if (n > 0) {
            taken = true;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        return taken;
    }
}

// --- mutexes ---

NamedMutex::~NamedMutex() { Close(); }

void NamedMutex::Close() {
    CloseFd(timerFd_);
    CloseFd(fd_);
    owned_ = false;
    recursion_ = 0;
}

int NamedMutex::Create(const std::string& name) {
    Close();
    const int error = OpenOrCreateFile(IpcObjectPath(name), fd_, created_);
    if (error != kErrorSuccess) return error;
    timerFd_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    // The first expiry comes at once, so a free mutex is taken without delay.
    itimerspec period{};
    period.it_value.tv_nsec = 1;
    period.it_interval.tv_nsec = kPollMs * 1000000L;
    if (timerFd_ < 0 || timerfd_settime(timerFd_, 0, &period, nullptr) != 0) {
        const int timerError = LastError();
        CloseFd(timerFd_);
        CloseFd(fd_);
        return timerError;
    }
    return kErrorSuccess;
}

int NamedMutex::AddEveryoneAccess() const { return Widen(fd_); }

NamedMutex::LockResult NamedMutex::Lock(int timeoutMs) {
    if (fd_ < 0) return LockResult::Failed;
    switch (WaitForAny({this}, timeoutMs)) {
    case 0:
        return abandoned_ ? LockResult::Abandoned : LockResult::Acquired;
    case kWaitTimeout:
        return LockResult::Timeout;
    default:
        return LockResult::Failed;
    }
}

bool NamedMutex::TryAcquire() {
    uint64_t expirations = 0;
    while (read(timerFd_, &expirations, sizeof expirations) < 0 && errno == EINTR) {
    }
    // flock() on a descriptor that already holds the lock succeeds, and the mark would then read
    // as a dead owner: count the recursion instead.
    if (owned_) {
        ++recursion_;
        abandoned_ = false;
        return true;
    }
    if (flock(fd_, LOCK_EX | LOCK_NB) != 0) return false;
    char owned = 0;
    abandoned_ = pread(fd_, &owned, 1, 0) == 1 && owned != 0;
    owned = 1;
    if (pwrite(fd_, &owned, 1, 0) != 1) {
        // Without the mark a later owner could not tell this one's death apart from a release.
        flock(fd_, LOCK_UN);
        return false;
    }
    owned_ = true;
    return true;
}

bool NamedMutex::HeldElsewhere() const {
    if (fd_ < 0 || owned_) return false;
    // A shared lock conflicts only with the owner's exclusive one and is dropped at once.
    if (flock(fd_, LOCK_SH | LOCK_NB) == 0) {
        flock(fd_, LOCK_UN);
        return false;
    }
    return errno == EWOULDBLOCK;
}

void NamedMutex::Release() {
    if (fd_ < 0 || !owned_) return;
    if (recursion_ > 0) {
        --recursion_;
        return;
    }
    const char released = 0;
    // When the mark cannot be cleared the next owner sees an abandoned mutex, the safe reading.
    (void)!pwrite(fd_, &released, 1, 0);
    flock(fd_, LOCK_UN);
    owned_ = false;
}

}  // namespace platform
