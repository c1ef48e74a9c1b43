#pragma once
// Owns one file descriptor and closes it when it goes. Not shared between threads.

#include <unistd.h>

namespace platform {

class UniqueFd {
public:
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() {
        if (fd_ >= 0) ::close(fd_);
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd_; }
    // Closes now and answers close()'s result, so that a delayed write error is seen.
    int release() {
        const int rc = ::close(fd_);
        fd_ = -1;
        return rc;
    }

private:
    int fd_;
};

}  // namespace platform
