#pragma once
// The guard that keeps a second copy of the program from starting in the same session: an
// exclusive flock on a file in the runtime folder, released by the kernel when the process dies.

#include <string>

namespace platform {

class InstanceLock {
public:
    InstanceLock() = default;
    ~InstanceLock() { Release(); }
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // 0 when this process now holds the guard (or already did); kErrorAlreadyExists when
    // another process holds it; otherwise the error of opening the file.
    int Acquire(const std::string& name);
    void Release();
    bool Held() const { return fd_ >= 0; }

    // $XDG_RUNTIME_DIR/<namespace><name>, or the temporary folder with the user id appended.
    static std::string PathFor(const std::string& name);

private:
    int fd_ = -1;
};

}  // namespace platform
