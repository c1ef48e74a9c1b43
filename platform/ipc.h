#pragma once
// Named objects shared between the program and the service. They live as plain files in
// /dev/shm under their name, preceded by $OSTROVID_IPC_NAMESPACE (empty in production, a unique
// prefix in tests), so an administrator can see them with ls:
//   shared memory  POSIX shared memory "/<ns><name>", sized with ftruncate;
//   events         a FIFO; set = one byte written, a wait drains it (auto reset);
//   mutexes        a lock file; the owner holds flock(LOCK_EX) and keeps byte 1 at offset 0
//                  while it owns it, so a later owner that reads 1 knows the previous one died.
//   sockets        a listening Unix-domain stream socket, always made anew by its one listener;
//                  the kernel names each connecting process to it (platform/named_socket.h).
// The group "ostrovid" is the trust boundary: every object belongs to it with mode 0660, whichever
// side made it, and only its members can open one. Names are opened without following links; a
// name that holds anything else (a link, another type, another group, another mode) is removed
// and made anew, and a process that may not remove it fails with a log line. An object appears
// under its name only once its group and mode are set. Non-members cannot make such an object,
// so no account outside the group can squat a name.
// Every call returns a Windows error code (platform/syserror.h); 2 means "does not exist".

#include "platform/sync.h"

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// The id of the operators' group "ostrovid" that owns the channel objects, looked up once per process. When the group
// does not exist, logs a line that names it and answers kErrorNoSuchGroup.
int ChannelGroupId(gid_t* gid);

// The group and mode of every channel object.
inline constexpr mode_t kChannelObjectMode = 0660;

// Removes what a name holds that is not a channel object, with the warning line; when this
// process may not remove it, logs the error line and answers its code.
int RemoveForeignObject(const std::string& path);

// The file of a named object: "/dev/shm/" + namespace + name.
std::string IpcObjectPath(const std::string& name);
// The namespace prefix in force ($OSTROVID_IPC_NAMESPACE, empty when unset).
std::string IpcNamespace();

class NamedSharedMemory {
public:
    NamedSharedMemory() = default;
    ~NamedSharedMemory();
    NamedSharedMemory(const NamedSharedMemory&) = delete;
    NamedSharedMemory& operator=(const NamedSharedMemory&) = delete;

    // Creates the area, or opens it when it exists, and makes it `size` bytes long.
    int Create(const std::string& name, size_t size);
    // Opens an existing area of `size` bytes for writing; 2 when it does not exist. A name that
    // holds no channel object counts as no area: only the creator replaces it, so the opener waits
    // for that.
    int Open(const std::string& name, size_t size);
    // Maps the whole area for reading and writing. Only for a process that trusts every other
    // member not to cut the file short: access beyond a shortened file raises SIGBUS.
    int Map();
    // Unmaps and closes. With removeName the name goes too, so later opens find nothing, when
    // this process made the area or its user owns the file, and the name still refers to it.
    void Close(bool removeName);

    // Through the descriptor, never a mapping, so a file resized by another process gives an
    // error instead of a fault. Read fails with kErrorInvalidData unless the file has its size.
    int Read(size_t offset, void* bytes, size_t count) const;
    int Write(size_t offset, const void* bytes, size_t count) const;
    // Makes the file its size again after another process resized it.
    int RestoreSize() const;

    bool IsOpen() const { return fd_ >= 0; }
    bool WasCreated() const { return created_; }
    uint8_t* Data() const { return data_; }
    size_t Size() const { return size_; }

private:
    bool OwnedHere() const;

    int fd_ = -1;
    bool created_ = false;
    std::string path_;
    size_t size_ = 0;
    uint8_t* data_ = nullptr;
};

// Auto-reset event shared by name.
class NamedEvent final : public Waitable {
public:
    NamedEvent() = default;
    ~NamedEvent() override;
    NamedEvent(const NamedEvent&) = delete;
    NamedEvent& operator=(const NamedEvent&) = delete;

    // Creates the event not signalled, or opens it when it exists.
    int Create(const std::string& name);
    void Close();
    // Removes the name of an object this process made, while the name still refers to it; whoever
    // holds the object open keeps it. Call before Close.
    void RemoveCreatedName() const;
    // Whether the name still refers to this object: a process that removed it (a service that
    // stopped) leaves this one to those that hold it, and the name free for a new one.
    bool StillNamed() const;

    bool IsOpen() const { return fd_ >= 0; }
    bool WasCreated() const { return created_; }

    void Set();
    void Reset();
    // True when the event was signalled within the time; the signal is consumed.
    bool Wait(int timeoutMs);

    int PollFd() const override { return fd_; }
    bool TryAcquire() override;

private:
    int fd_ = -1;
    bool created_ = false;
    std::string path_;
};

// Mutex shared by name, with the owner and abandoned-owner semantics of a Windows mutex.
// Closing it while owned leaves it abandoned, as the death of the owner does.
class NamedMutex final : public Waitable {
public:
    enum class LockResult { Acquired, Abandoned, Timeout, Failed };

    NamedMutex() = default;
    ~NamedMutex() override;
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;

    // Creates the mutex not owned, or opens it when it exists.
    int Create(const std::string& name);
    // Closes without releasing: an owned mutex is left abandoned.
    void Close();
    // Removes the name of an object this process made, while the name still refers to it; whoever
    // holds the object open keeps it. Call before Close.
    void RemoveCreatedName() const;
    // Whether the name still refers to this object: a process that removed it (a service that
    // stopped) leaves this one to those that hold it, and the name free for a new one.
    bool StillNamed() const;

    bool IsOpen() const { return fd_ >= 0; }
    bool WasCreated() const { return created_; }

    // Waits for ownership. Abandoned: ownership was obtained from an owner that died. The owner
    // may take it again; it is free once released as often as it was taken.
    LockResult Lock(int timeoutMs);
    void Release();
    // True while another handle (another process) owns the mutex; nothing is taken.
    bool HeldElsewhere() const;
    // Whether the last acquisition (Lock or a WaitForAny that returned this) found it abandoned.
    bool WasAbandoned() const { return abandoned_; }

    // A timer descriptor that fires every kPollMs; each firing tries the lock.
    int PollFd() const override { return timerFd_; }
    bool TryAcquire() override;

    static constexpr int kPollMs = 50;

private:
    std::string path_;
    int fd_ = -1;
    int timerFd_ = -1;
    bool created_ = false;
    bool owned_ = false;
    bool abandoned_ = false;
    int recursion_ = 0;
};

}  // namespace platform
