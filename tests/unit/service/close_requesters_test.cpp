// The service's close socket with real connections: what its name may hold, whom a connection
// vouches for, and that strangers who connect can neither stall it nor fill it.

#include "platform/ipc.h"
#include "platform/named_socket.h"
#include "platform/syserror.h"
#include "service/close_requesters.h"
#include "settings/channel_packet.h"
#include "tests/support/ipc_namespace.h"
#include "tests/unit/service/requester_support.h"
#include "tests/unit/service/service_folder.h"

#include <gtest/gtest.h>

#include <QFile>

#include <arpa/inet.h>
#include <dirent.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace ch = settings::channel;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using service::CloseRequesters;

namespace {

class CloseSocket : public testsupport::ServiceFolder {
protected:
    void SetUp() override {
        ServiceFolder::SetUp();
        ns = testsupport::UseFreshIpcNamespace("tcls");
        ASSERT_EQ(platform::ChannelGroupId(&group), 0);
    }
    void TearDown() override { testsupport::RemoveIpcObjects(ns); }

    static std::string Name() { return platform::IpcObjectPath(ch::kCloseSocketName); }

    std::vector<std::string> NamesLeft() const {
        std::vector<std::string> names;
        DIR* shm = opendir("/dev/shm");
        while (const dirent* entry = shm ? readdir(shm) : nullptr)
            if (std::string(entry->d_name).rfind(ns, 0) == 0) names.push_back(entry->d_name);
        if (shm) closedir(shm);
        return names;
    }

    std::string ns;
    gid_t group = 0;
};

bool Readable(int fd, std::chrono::milliseconds within) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, static_cast<int>(within.count())) > 0;
}

// A connection made by this process, sending what is given.
int RawConnection(const std::string& bytes) {
    sockaddr_un to{};
    to.sun_family = AF_UNIX;
    platform::IpcObjectPath(ch::kCloseSocketName).copy(to.sun_path, sizeof to.sun_path - 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0 ||
        (!bytes.empty() && send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(bytes.size()))) {
        close(fd);
        return -1;
    }
    return fd;
}

// Whether the other end still holds the connection: a closed one reads as its end at once.
bool StillHeld(int fd) {
    pollfd p{fd, POLLIN | POLLRDHUP, 0};
    return poll(&p, 1, 0) == 0;
}

CloseRequesters::Payload PayloadFor(pid_t pid, uint16_t port) {
    std::vector<uint8_t> bytes(ch::kPayloadOffset + 12, 0);
    ch::ChannelArea packet(bytes.data(), bytes.size());
    packet.SetU32(ch::close_tcp::kPid, static_cast<uint32_t>(pid));
    const uint32_t address = htonl(INADDR_LOOPBACK);
    packet.CopyIn(ch::close_tcp::kAddress, &address, sizeof address);
    packet.SetU16(ch::close_tcp::kPort, port);
    return testsupport::PayloadOf(packet);
}

std::unique_ptr<platform::UniqueFd> VouchWith(const CloseRequesters::Payload& payload) {
    std::unique_ptr<platform::UniqueFd> connection;
    EXPECT_EQ(platform::SendToNamedSocket(ch::kCloseSocketName, payload.data(), payload.size(), 1s, &connection), 0);
    return connection;
}

TEST_F(CloseSocket, TheListenerReplacesWhatTheNameHeldAndTakesOnlyItsOwnNameAlong) {
    const QString victim = dir.filePath("victim");
    {
        QFile file(victim);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("keep");
    }
    ASSERT_EQ(::symlink(victim.toStdString().c_str(), Name().c_str()), 0);
    platform::NamedListeningSocket first;
    ASSERT_EQ(first.Create(ch::kCloseSocketName, 4), 0);
    struct stat st {};
    ASSERT_EQ(::lstat(Name().c_str(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(st.st_gid, group);
    EXPECT_EQ(st.st_mode & 07777, 0660u);
    QFile file(victim);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "keep");
    const QString warning = QStringLiteral("Warning. %1 was not a channel object of the group ostrovid; it is made anew.")
                                .arg(QString::fromStdString(Name()));
    EXPECT_EQ(testsupport::CountLines(Log(), warning), 1);

    // A socket an earlier listener left is replaced without a word; that listener's close leaves
    // the new one's name.
    platform::NamedListeningSocket second;
    ASSERT_EQ(second.Create(ch::kCloseSocketName, 4), 0);
    EXPECT_EQ(testsupport::CountLines(Log(), warning), 1);
    first.Close();
    std::unique_ptr<platform::UniqueFd> connection;
    ASSERT_EQ(platform::SendToNamedSocket(ch::kCloseSocketName, "x", 1, 1s, &connection), 0);
    ASSERT_TRUE(Readable(second.PollFd(), 1s));
    EXPECT_NE(second.Accept(), nullptr);
    EXPECT_EQ(NamesLeft(), std::vector<std::string>{ns + ch::kCloseSocketName});
    second.Close();
    EXPECT_EQ(NamesLeft(), std::vector<std::string>{});
}

TEST_F(CloseSocket, TheConnectingSideTakesOnlyASocketOfTheGroupAndFollowsNoLink) {
    constexpr const char* kElsewhere = "ELSEWHERE_SOCKET";
    platform::NamedListeningSocket elsewhere;
    ASSERT_EQ(elsewhere.Create(kElsewhere, 4), 0);
    std::unique_ptr<platform::UniqueFd> connection;
    auto attempt = [&] { return platform::SendToNamedSocket(ch::kCloseSocketName, "x", 1, 1s, &connection); };

    EXPECT_EQ(attempt(), platform::kErrorFileNotFound);
    ASSERT_EQ(::symlink(platform::IpcObjectPath(kElsewhere).c_str(), Name().c_str()), 0);
    EXPECT_EQ(attempt(), platform::kErrorFileNotFound);
    EXPECT_FALSE(Readable(elsewhere.PollFd(), 100ms));
    ASSERT_EQ(::unlink(Name().c_str()), 0);
    const int planted = ::open(Name().c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(planted, 0);
    EXPECT_EQ(::fchown(planted, static_cast<uid_t>(-1), group), 0);
    EXPECT_EQ(::fchmod(planted, 0660), 0);
    ::close(planted);
    EXPECT_EQ(attempt(), platform::kErrorFileNotFound);
    EXPECT_EQ(connection, nullptr);
}

TEST_F(CloseSocket, AConnectionVouchesOnceForItsOwnPidAndExactlyItsBytes) {
    const auto requesters = testsupport::MakeCloseRequesters();
    ASSERT_TRUE(requesters);
    const CloseRequesters::Payload mine = PayloadFor(getpid(), 554);

    {
        const auto vouching = VouchWith(mine);
        const auto peer = requesters->Take(static_cast<uint32_t>(getpid()), mine);
        ASSERT_TRUE(peer.has_value());
        EXPECT_EQ(peer->pid, getpid());
        EXPECT_EQ(peer->uid, geteuid());
        const Clock::time_point started = Clock::now();
        EXPECT_FALSE(requesters->Take(static_cast<uint32_t>(getpid()), mine)) << "used up";
        EXPECT_GE(Clock::now() - started, 900ms);
        EXPECT_LE(Clock::now() - started, 2s);
    }
    {
        testsupport::VouchingChild other(mine);
        ASSERT_TRUE(other.Sent());
        EXPECT_FALSE(requesters->Take(static_cast<uint32_t>(getpid()), mine, 300ms)) << "another process";
    }
    {
        const auto vouching = VouchWith(PayloadFor(getpid(), 555));
        EXPECT_FALSE(requesters->Take(static_cast<uint32_t>(getpid()), mine, 300ms)) << "other bytes";
    }
    const std::string bytes(mine.begin(), mine.end());
    {
        const int longer = RawConnection(bytes + "!");
        ASSERT_GE(longer, 0);
        EXPECT_FALSE(requesters->Take(static_cast<uint32_t>(getpid()), mine, 300ms)) << "more than the request";
        ::close(longer);
    }
    {
        const int gone = RawConnection(bytes);
        ASSERT_GE(gone, 0);
        ::close(gone);
        std::this_thread::sleep_for(200ms);
        EXPECT_FALSE(requesters->Take(static_cast<uint32_t>(getpid()), mine, 300ms)) << "a requester that hung up";
    }
    // The bytes may come in parts within the read limit.
    const int halting = RawConnection(bytes.substr(0, 5));
    ASSERT_GE(halting, 0);
    std::this_thread::sleep_for(300ms);
    ASSERT_EQ(send(halting, bytes.data() + 5, bytes.size() - 5, MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size() - 5));
    EXPECT_TRUE(requesters->Take(static_cast<uint32_t>(getpid()), mine, 1s));
    ::close(halting);
}

TEST_F(CloseSocket, StrangersWhoConnectNeitherStallItNorFillIt) {
    if (geteuid() != 0) GTEST_SKIP() << "the other user's requester needs root";
    const auto requesters = testsupport::MakeCloseRequesters();
    ASSERT_TRUE(requesters);
    // A request of another user, made before the flood.
    testsupport::VouchingChild other(PayloadFor(0, 554), 65534, testsupport::VouchingChild::PidField::Own);
    ASSERT_TRUE(other.Sent());

    const CloseRequesters::Payload mine = PayloadFor(getpid(), 554);
    std::vector<int> flood;
    for (int i = 0; i < 40; ++i) flood.push_back(RawConnection(""));
    for (int i = 0; i < 5; ++i) flood.push_back(RawConnection(std::string(100, 'g')));
    for (int i = 0; i < 5; ++i) flood.push_back(RawConnection(std::string(mine.begin(), mine.begin() + 6)));
    for (const int fd : flood) ASSERT_GE(fd, 0);

    const Clock::time_point started = Clock::now();
    const auto peer = requesters->Take(static_cast<uint32_t>(other.Pid()), PayloadFor(other.Pid(), 554));
    ASSERT_TRUE(peer.has_value());
    EXPECT_EQ(peer->uid, 65534u);
    const auto vouching = VouchWith(mine);
    EXPECT_TRUE(requesters->Take(static_cast<uint32_t>(getpid()), mine));
    EXPECT_LE(Clock::now() - started, 1s);

    // One user's flood pushes out only its own, down to the few it may hold.
    size_t held = 0;
    for (const int fd : flood) held += StillHeld(fd);
    EXPECT_LE(held, CloseRequesters::kHeldPerUser);
    const int silent = RawConnection("");
    ASSERT_GE(silent, 0);
    std::this_thread::sleep_for(CloseRequesters::kReadLimit + 300ms);
    EXPECT_FALSE(StillHeld(silent));
    for (const int fd : flood) ::close(fd);
    ::close(silent);
}

}  // namespace
