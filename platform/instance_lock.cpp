#include "platform/instance_lock.h"

#include "platform/ipc.h"
#include "platform/paths.h"
#include "platform/syserror.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace platform {

std::string InstanceLock::PathFor(const std::string& name) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime) return std::string(runtime) + "/" + IpcNamespace() + name;
    return TempFolder().toStdString() + IpcNamespace() + name + "." + std::to_string(getuid());
}

int InstanceLock::Acquire(const std::string& name) {
    if (fd_ >= 0) return kErrorSuccess;
    const int fd = ::open(PathFor(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return ErrorCodeFromErrno(errno);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        return error == EWOULDBLOCK ? kErrorAlreadyExists : ErrorCodeFromErrno(error);
    }
    fd_ = fd;
    return kErrorSuccess;
}

void InstanceLock::Release() {
    if (fd_ < 0) return;
    // The file stays: removing it would let a third process lock a new file while a second
    // still waits on the old one.
    ::close(fd_);
    fd_ = -1;
}

}  // namespace platform
