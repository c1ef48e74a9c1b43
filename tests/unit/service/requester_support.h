#pragma once
// The service's close socket in the test's object namespace, and this process vouching for a
// close packet through it as the program does. Test thread only.

#include "platform/ipc.h"
#include "platform/named_socket.h"
#include "service/close_requesters.h"
#include "settings/channel_area.h"
#include "settings/channel_packet.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>

namespace testsupport {

// Nothing when the socket cannot be made (the failure is reported).
inline std::unique_ptr<service::CloseRequesters> MakeCloseRequesters() {
    auto socket = std::make_unique<platform::NamedListeningSocket>();
    const int rc = socket->Create(settings::channel::kCloseSocketName, service::CloseRequesters::kBacklog);
    EXPECT_EQ(rc, 0);
    if (rc != 0) return nullptr;
    return std::make_unique<service::CloseRequesters>(std::move(socket));
}

// Writes the packet's payload to the close socket; the connection vouches while it is held.
inline std::unique_ptr<platform::UniqueFd> Vouch(const settings::channel::ChannelArea& packet) {
    std::unique_ptr<platform::UniqueFd> connection;
    EXPECT_EQ(platform::SendToNamedSocket(settings::channel::kCloseSocketName,
                                          packet.Data() + settings::channel::kPayloadOffset,
                                          settings::channel::payload_size::kCloseTcpSocket,
                                          std::chrono::seconds(1), &connection),
              0);
    return connection;
}

// Another process that connects to the close socket, sends the bytes and holds its connection
// until it goes. With a user given it runs as that user in the group ostrovid. All is prepared
// before the fork; the child calls only what is safe after it.
class VouchingChild {
public:
    // Which pid the bytes name: as given, or the child's own.
    enum class PidField { AsGiven, Own };

    explicit VouchingChild(service::CloseRequesters::Payload bytes, int uid = -1,
                           PidField pidField = PidField::AsGiven) {
        sockaddr_un to{};
        to.sun_family = AF_UNIX;
        platform::IpcObjectPath(settings::channel::kCloseSocketName).copy(to.sun_path, sizeof to.sun_path - 1);
        gid_t group = 0;
        if (uid >= 0) {
            EXPECT_EQ(platform::ChannelGroupId(&group), 0);
        }
        int ready[2], hold[2];
        if (pipe2(ready, O_CLOEXEC) != 0 || pipe2(hold, O_CLOEXEC) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            close(ready[0]);
            close(hold[1]);
            if (uid >= 0 && (setgroups(1, &group) != 0 || setgid(static_cast<gid_t>(uid)) != 0 ||
                             setuid(static_cast<uid_t>(uid)) != 0))
                _exit(126);
            if (pidField == PidField::Own) {
                const auto own = static_cast<uint32_t>(getpid());
                for (size_t i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(own >> (8 * i));
            }
            const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
            const char sent = connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0 &&
                                      write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size())
                                  ? 1
                                  : 0;
            (void)!write(ready[1], &sent, 1);
            char c;
            while (read(hold[0], &c, 1) > 0) {
            }
            _exit(0);
        }
        close(ready[1]);
        close(hold[0]);
        char sent = 0;
        sent_ = pid_ > 0 && read(ready[0], &sent, 1) == 1 && sent == 1;
        close(ready[0]);
        release_ = hold[1];
    }
    ~VouchingChild() {
        if (release_ >= 0) close(release_);
        if (pid_ > 0) waitpid(pid_, nullptr, 0);
    }
    VouchingChild(const VouchingChild&) = delete;
    VouchingChild& operator=(const VouchingChild&) = delete;

    bool Sent() const { return sent_; }
    pid_t Pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int release_ = -1;
    bool sent_ = false;
};

// The payload a close packet carries.
inline service::CloseRequesters::Payload PayloadOf(const settings::channel::ChannelArea& packet) {
    service::CloseRequesters::Payload payload;
    packet.CopyOut(settings::channel::kPayloadOffset, payload.data(), payload.size());
    return payload;
}

}  // namespace testsupport
