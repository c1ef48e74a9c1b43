#include "app/actions/velox_block.h"

#include "platform/ipc.h"
#include "platform/syserror.h"
#include "velox/velox_block_layout.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace actions {

std::string VeloxBlockPath(const QString& guid) {
    return platform::IpcObjectPath(std::string(velox::layout::kBlockBaseName) + ':' + guid.toStdString());
}

VeloxBlock::~VeloxBlock() {
    if (fd_ < 0) return;
    ::close(fd_);
    ::unlink(path_.c_str());
}

int VeloxBlock::Create(const QString& guid) {
    path_ = VeloxBlockPath(guid);
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd_ < 0) return platform::ErrorCodeFromErrno(errno);
    // The umask may only narrow the mode; set it exactly anyway.
    if (::fchmod(fd_, 0600) != 0 || ::ftruncate(fd_, off_t(velox::layout::kBlockSize)) != 0) {
        const int error = platform::ErrorCodeFromErrno(errno);
        ::close(std::exchange(fd_, -1));
        ::unlink(path_.c_str());
        return error;
    }
    return platform::kErrorSuccess;
}

int VeloxBlock::Write(const settings::channel::ChannelArea& bytes) const {
    const ssize_t written = ::pwrite(fd_, bytes.Data(), bytes.Size(), 0);
    if (written < 0) return platform::ErrorCodeFromErrno(errno);
    return size_t(written) == bytes.Size() ? platform::kErrorSuccess : platform::kErrorDiskFull;
}

bool VeloxBlock::Read(settings::channel::ChannelArea& bytes) const {
    return ::pread(fd_, bytes.Data(), bytes.Size(), 0) == ssize_t(bytes.Size());
}

}  // namespace actions
