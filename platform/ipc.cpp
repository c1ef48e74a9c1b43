#include "platform/ipc.h"

#include "platform/log.h"
#include "platform/operator_group.h"
#include "platform/syserror.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <optional>

namespace platform {

namespace {

constexpr const char* kShmFolder = "/dev/shm/";
// Another process may make or replace the same name at the same moment; after this many lost
// races something is wrong with the folder.
constexpr int kCreateAttempts = 3;

enum class ObjectType { File, Fifo };

// What a name holds.
enum class Found { Object, Nothing, Foreign, Error };

int LastError() { return ErrorCodeFromErrno(errno); }

void CloseFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

QString Shown(const std::string& path) { return QString::fromLocal8Bit(path.c_str()); }

bool IsChannelObject(const struct stat& st, ObjectType type, gid_t group) {
    const bool rightType = type == ObjectType::Fifo ? S_ISFIFO(st.st_mode) : S_ISREG(st.st_mode);
    return rightType && st.st_gid == group && (st.st_mode & 07777) == kChannelObjectMode;
}

// Opens what the name holds without following a link. Non-blocking, so a FIFO never waits for a
// peer; reads and writes of the regular files are not affected.
Found OpenExisting(const std::string& path, ObjectType type, gid_t group, int* fd, int* error) {
    *fd = open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (*fd >= 0) {
        struct stat st {};
        if (fstat(*fd, &st) == 0 && IsChannelObject(st, type, group)) return Found::Object;
        CloseFd(*fd);
        return Found::Foreign;
    }
    if (errno == ENOENT) return Found::Nothing;
    *error = LastError();
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return errno == ENOENT ? Found::Nothing : Found::Error;
    // A real object this process may not open (not a member, out of descriptors): no reason to replace it.
    return IsChannelObject(st, type, group) ? Found::Error : Found::Foreign;
}

// Makes the object under a private name, gives it to the group and only then links it under its
// name, so no other process ever sees it with another group or mode. kErrorAlreadyExists when
// another process made the name meanwhile.
int CreateNew(const std::string& path, ObjectType type, gid_t group, int* fd) {
    static std::atomic<unsigned> serial{0};
    const std::string temporary = path + "." + std::to_string(getpid()) + "." + std::to_string(++serial) + ".new";
    if (type == ObjectType::Fifo) {
        if (mkfifo(temporary.c_str(), 0600) != 0) return LastError();
        *fd = open(temporary.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    } else {
        *fd = open(temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (*fd < 0) return LastError();
    }
    int error = kErrorSuccess;
    if (*fd < 0 || fchown(*fd, static_cast<uid_t>(-1), group) != 0 || fchmod(*fd, kChannelObjectMode) != 0 ||
        link(temporary.c_str(), path.c_str()) != 0)
        error = LastError();
    unlink(temporary.c_str());
    if (error != kErrorSuccess) CloseFd(*fd);
    return error;
}

// Opens the channel object, making it when the name holds nothing or something else.
int OpenOrCreate(const std::string& path, ObjectType type, int* fd, bool* created) {
    *created = false;
    gid_t group;
    if (const int error = ChannelGroupId(&group); error != kErrorSuccess) return error;
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        int error = kErrorSuccess;
        switch (OpenExisting(path, type, group, fd, &error)) {
        case Found::Object:
            return kErrorSuccess;
        case Found::Error:
            return error;
        case Found::Foreign:
            if (const int removeError = RemoveForeignObject(path); removeError != kErrorSuccess) return removeError;
            break;
        case Found::Nothing:
            break;
        }
        error = CreateNew(path, type, group, fd);
        if (error == kErrorSuccess) {
            *created = true;
            return kErrorSuccess;
        }
        if (error != kErrorAlreadyExists) return error;
    }
    return kErrorAlreadyExists;
}

// Opens an existing channel object; a name that holds something else is as good as empty.
int OpenOnly(const std::string& path, ObjectType type, int* fd) {
    gid_t group;
    if (const int error = ChannelGroupId(&group); error != kErrorSuccess) return error;
    int error = kErrorSuccess;
    switch (OpenExisting(path, type, group, fd, &error)) {
    case Found::Object:
        return kErrorSuccess;
    case Found::Error:
        return error;
    case Found::Nothing:
    case Found::Foreign:
        break;
    }
    return kErrorFileNotFound;
}

// Whether the name refers to the object open on fd; a link there never does.
bool NameRefersTo(int fd, const std::string& path) {
    struct stat held {}, named{};
    if (fd < 0 || path.empty() || fstat(fd, &held) != 0 || lstat(path.c_str(), &named) != 0) return false;
    return held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

// Removes the name while it still refers to the object open on fd: a name that another process
// has made anew meanwhile, or a link planted there, is left alone. unlink never follows a link.
void RemoveNameOf(int fd, const std::string& path) {
    if (NameRefersTo(fd, path)) unlink(path.c_str());
}

}  // namespace

int RemoveForeignObject(const std::string& path) {
    if (unlink(path.c_str()) == 0 || errno == ENOENT) {
        WriteLog(QStringLiteral("Warning. %1 was not a channel object of the group %2; it is made anew.")
                     .arg(Shown(path), QLatin1String(kOperatorGroupName)));
        return kErrorSuccess;
    }
    const int error = LastError();
    WriteLog(QStringLiteral("Error. %1 is not a channel object of the group %2 and cannot be removed: %3")
                 .arg(Shown(path), QLatin1String(kOperatorGroupName), FormatSystemError(error)));
    return error;
}

int ChannelGroupId(gid_t* gid) {
    static const std::optional<gid_t> group = OperatorGroupId();
    if (!group) {
        WriteLog(QStringLiteral("Error. The group %1, which the channel objects belong to, does not exist.")
                     .arg(QLatin1String(kOperatorGroupName)));
        return kErrorNoSuchGroup;
    }
    *gid = *group;
    return kErrorSuccess;
}

std::string IpcNamespace() {
    const char* ns = std::getenv("OSTROVID_IPC_NAMESPACE");
    return ns ? ns : "";
}

std::string IpcObjectPath(const std::string& name) { return kShmFolder + IpcNamespace() + name; }

// --- shared memory ---

NamedSharedMemory::~NamedSharedMemory() { Close(false); }

int NamedSharedMemory::Create(const std::string& name, size_t size) {
    Close(false);
    path_ = IpcObjectPath(name);
    if (const int error = OpenOrCreate(path_, ObjectType::File, &fd_, &created_); error != kErrorSuccess) return error;
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
    path_ = IpcObjectPath(name);
    created_ = false;
    if (const int error = OpenOnly(path_, ObjectType::File, &fd_); error != kErrorSuccess) return error;
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
    if (removeName && (created_ || OwnedHere())) RemoveNameOf(fd_, path_);
    CloseFd(fd_);
    size_ = 0;
}

bool NamedSharedMemory::OwnedHere() const {
    struct stat st {};
    return fd_ >= 0 && fstat(fd_, &st) == 0 && st.st_uid == geteuid();
}

int NamedSharedMemory::Read(size_t offset, void* bytes, size_t count) const {
    struct stat st {};
    if (fd_ < 0 || fstat(fd_, &st) != 0) return kErrorInvalidHandle;
    if (static_cast<size_t>(st.st_size) != size_ || offset > size_ || count > size_ - offset) return kErrorInvalidData;
    auto* to = static_cast<uint8_t*>(bytes);
    for (size_t done = 0; done < count;) {
        const ssize_t n = pread(fd_, to + done, count - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return LastError();
        if (n == 0) return kErrorInvalidData;  // cut short meanwhile
        done += static_cast<size_t>(n);
    }
    return kErrorSuccess;
}

int NamedSharedMemory::Write(size_t offset, const void* bytes, size_t count) const {
    if (fd_ < 0) return kErrorInvalidHandle;
    if (offset > size_ || count > size_ - offset) return kErrorInvalidParameter;
    const auto* from = static_cast<const uint8_t*>(bytes);
    for (size_t done = 0; done < count;) {
        const ssize_t n = pwrite(fd_, from + done, count - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? LastError() : kErrorDiskFull;
        done += static_cast<size_t>(n);
    }
    return kErrorSuccess;
}

int NamedSharedMemory::RestoreSize() const {
    if (fd_ < 0) return kErrorInvalidHandle;
    return ftruncate(fd_, static_cast<off_t>(size_)) == 0 ? kErrorSuccess : LastError();
}

// --- events ---

NamedEvent::~NamedEvent() { Close(); }

void NamedEvent::Close() { CloseFd(fd_); }

void NamedEvent::RemoveCreatedName() const {
    if (created_) RemoveNameOf(fd_, path_);
}

bool NamedEvent::StillNamed() const { return NameRefersTo(fd_, path_); }

int NamedEvent::Create(const std::string& name) {
    Close();
    path_ = IpcObjectPath(name);
    // Read-write, so the FIFO never reports end-of-file and a set needs no reader present.
    return OpenOrCreate(path_, ObjectType::Fifo, &fd_, &created_);
}

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

void NamedMutex::RemoveCreatedName() const {
    if (created_) RemoveNameOf(fd_, path_);
}

bool NamedMutex::StillNamed() const { return NameRefersTo(fd_, path_); }

int NamedMutex::Create(const std::string& name) {
    Close();
    path_ = IpcObjectPath(name);
    const int error = OpenOrCreate(path_, ObjectType::File, &fd_, &created_);
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
