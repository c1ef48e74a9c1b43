// The service as the other local accounts meet it: only members of the group ostrovid open the
// channel, and even a member's packets may name only the program; a resized area and names
// planted before the service starts do not hurt it.

#include "settings/channel_saves.h"
#include "tests/integration/service/service_fixture.h"
#include "tests/support/loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cstring>
#include <future>
#include <thread>

using namespace settings;
namespace ch = settings::channel;

namespace {

const std::string kTrustedProgram = OSTROVID_PROGRAM_BINARY;

class ServiceTrust : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        if (geteuid() != 0) GTEST_SKIP() << "the accounts of these tests need root";
    }

    enum class Account { Outsider, Member };

    // Runs channel_peer as nobody, in the group ostrovid or in no group; its output lines.
    std::vector<std::string> Peer(Account account, std::vector<std::string> arguments) {
        std::vector<std::string> argv = {"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup"};
        argv.push_back(account == Account::Member ? "--groups=ostrovid" : "--clear-groups");
        argv.push_back(CHANNEL_PEER_BINARY);
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        testsupport::ChildProcess peer;
        EXPECT_TRUE(peer.Start(argv));
        std::vector<std::string> lines;
        std::string line;
        while (peer.ReadLine(&line, 15000)) lines.push_back(line);
        EXPECT_NE(peer.Wait(5000), -1);
        return lines;
    }

    std::string PeerReply(std::vector<std::string> arguments) {
        const std::vector<std::string> lines = Peer(Account::Member, std::move(arguments));
        return lines.empty() ? std::string() : lines.front();
    }

    bool AutostartWritten() const { return QFile::exists(dir.filePath("autostart/Ostrovid.desktop")); }

    static QString NotConfirmedLine(pid_t pid) {
        return QStringLiteral("HandleCloseTcpSocketCommand(): Process %1 has not confirmed the request through %2.")
            .arg(pid)
            .arg(QString::fromStdString(platform::IpcObjectPath(ch::kCloseSocketName)));
    }
};

// A camera connection held by the test: the reader blocks until the connection is reset.
struct HeldConnection {
    HeldConnection() {
        listener = testsupport::ListenOnLoopback(&port, 4);
        client = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        to.sin_port = htons(port);
        connected = connect(client, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
        served = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        reader = std::async(std::launch::async, [fd = client] {
            char byte;
            return recv(fd, &byte, 1, 0) < 0 ? errno : 0;
        });
    }
    ~HeldConnection() {
        shutdown(client, SHUT_RDWR);
        if (reader.valid()) reader.wait();
        close(client);
        close(served);
        close(listener);
    }
    bool Alive() { return reader.wait_for(std::chrono::milliseconds(300)) == std::future_status::timeout; }

    int listener = -1, client = -1, served = -1;
    uint16_t port = 0;
    bool connected = false;
    std::future<int> reader;
};

TEST_F(ServiceTrust, OnlyMembersOpenTheChannelAndTheirPacketsMayNameOnlyTheProgram) {
    StartService();
    Attach();
    const std::vector<std::string> names = {ch::kMapFileName,        ch::kRequestEventName, ch::kReplyEventName,
                                            ch::kServiceMutexName,   ch::kAppMutexName,     ch::kCloseSocketName};
    std::vector<std::string> denied, opened;
    for (const std::string& name : names) {
        denied.push_back(name + " " + std::to_string(EACCES));
        opened.push_back(name + " open");
    }
    EXPECT_EQ(Peer(Account::Outsider, {"probe"}), denied);
    EXPECT_EQ(Peer(Account::Member, {"probe"}), opened);
    EXPECT_EQ(Peer(Account::Outsider, {"autorun", kTrustedProgram}), (std::vector<std::string>{"failed 5"}));

    const std::string refused = "1 2 Отказано в доступе. (5)";
    for (const std::string& path :
         {std::string("/tmp/evil.sh"), kTrustedProgram + " ", std::string(CHANNEL_PEER_BINARY)})
        EXPECT_EQ(PeerReply({"autorun", path}), refused) << path;
    EXPECT_FALSE(AutostartWritten());
    EXPECT_EQ(PeerReply({"autorun", kTrustedProgram}), "0");
    EXPECT_TRUE(AutostartWritten());

    // A process that is not the program keeps its connection, whoever asks.
    HeldConnection camera;
    ASSERT_TRUE(camera.connected);
    const std::string address = "127.0.0.1", port = std::to_string(camera.port);
    EXPECT_EQ(PeerReply({"close", std::to_string(getpid()), address, port}), refused);
    EXPECT_EQ(PeerReply({"close", "0", address, port}), refused);
    // Asked for by this very process, which is not the program.
    EXPECT_FALSE(SendCloseSocketCommand(htonl(INADDR_LOOPBACK), camera.port));
    EXPECT_TRUE(camera.Alive());
    EXPECT_TRUE(
        ServiceLog().contains(QStringLiteral("HandleCloseTcpSocketCommand(): Процесс %1 не является программой %2.")
                                  .arg(getpid())
                                  .arg(QString::fromStdString(kTrustedProgram))));

    // The same connection held by the program stays too: the member who names the program's pid
    // is not the program.
    testsupport::StoppedProgram program;
    ASSERT_TRUE(program.Start(kTrustedProgram, camera.client));
    EXPECT_EQ(PeerReply({"close", std::to_string(program.Pid()), address, port}), refused);
    EXPECT_EQ(PeerReply({"forge", std::to_string(program.Pid()), address, port}), refused);
    EXPECT_TRUE(camera.Alive());
    EXPECT_EQ(testsupport::CountLines(ServiceLog(), NotConfirmedLine(program.Pid())), 2);
}

// The service's program is channel_peer here, so that processes that really run it ask for a
// reset as the program does.
class CloseRequests : public ServiceTrust {
protected:
    void SetUp() override {
        ServiceTrust::SetUp();
        if (IsSkipped()) return;
        ::setenv("OSTROVID_PROGRAM_PATH", CHANNEL_PEER_BINARY, 1);
        StartService();
        ASSERT_TRUE(WaitForServiceLine("Ostrovid Service 2.2.0 is running.", 10000));
        listener = testsupport::ListenOnLoopback(&port, 8);
        ASSERT_GE(listener, 0);
    }
    void TearDown() override {
        if (listener >= 0) ::close(listener);
        ::unsetenv("OSTROVID_PROGRAM_PATH");
        ServiceTrust::TearDown();
    }

    enum class Hold { Nothing, Own };

    // A member's program asking for the camera at the listener; its output line, its log in *log.
    std::string Ask(Hold hold, QStringList* log = nullptr) {
        const std::string logPath = Path("tmp") + "/ask" + std::to_string(++asks) + ".log";
        std::vector<std::string> arguments = {"ask", logPath, kAddress, std::to_string(port)};
        if (hold == Hold::Own) arguments.push_back("hold");
        const std::string line = PeerReply(arguments);
        if (log) *log = testsupport::LogLines(QString::fromStdString(logPath));
        return line;
    }

    // A connection to the close socket made by this process, sending what is given.
    static int CloseSocketConnection(const std::string& bytes) {
        sockaddr_un to{};
        to.sun_family = AF_UNIX;
        platform::IpcObjectPath(ch::kCloseSocketName).copy(to.sun_path, sizeof to.sun_path - 1);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0 ||
            ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(bytes.size())) {
            ::close(fd);
            return -1;
        }
        return fd;
    }

    static bool Disturbed(int served) {
        pollfd p{served, POLLIN, 0};
        return ::poll(&p, 1, 300) != 0;
    }

    static constexpr const char* kAddress = "127.0.0.1";
    const std::string refused = "1 2 Отказано в доступе. (5)";
    int listener = -1;
    uint16_t port = 0;
    int asks = 0;
};

TEST_F(CloseRequests, OnlyTheProcessThatAsksHasItsOwnConnectionReset) {
    // Operator A's program, run as root, holds its camera connection.
    testsupport::ChildProcess victim;
    ASSERT_TRUE(victim.Start({CHANNEL_PEER_BINARY, "connect", kAddress, std::to_string(port)}));
    std::string line;
    ASSERT_TRUE(victim.ReadLine(&line, 5000));
    ASSERT_EQ(line, "connected");
    const int served = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    ASSERT_GE(served, 0);

    // Operator B names A's program and camera, without and with a connection of its own to the
    // close socket, and asks for A's camera as its own program, which holds no connection there.
    const std::string victimPid = std::to_string(victim.Pid()), portText = std::to_string(port);
    EXPECT_EQ(PeerReply({"close", victimPid, kAddress, portText}), refused);
    EXPECT_EQ(PeerReply({"forge", victimPid, kAddress, portText}), refused);
    QStringList log;
    EXPECT_EQ(Ask(Hold::Nothing, &log), "refused");
    EXPECT_TRUE(log.contains("Error on handling SendCloseSocketCommand: Не найдено TCP соединение IP-камеры."));
    EXPECT_FALSE(Disturbed(served));
    EXPECT_EQ(testsupport::CountLines(ServiceLog(), NotConfirmedLine(victim.Pid())), 2);

    // B's program asking for its own connection has that one reset, and A's stays.
    EXPECT_EQ(Ask(Hold::Own, &log), "reset " + std::to_string(ECONNABORTED));
    EXPECT_TRUE(log.contains("SendCloseSocketCommand successfully handled."));
    EXPECT_FALSE(log.join('\n').contains("Can't reach"));
    const QStringList svc = ServiceLog();
    EXPECT_TRUE(svc.contains("HandleCloseTcpSocketCommand(): TCP соедениние обнаружено. Попытка закрытия..."));
    EXPECT_TRUE(svc.contains("HandleCloseTcpSocketCommand OK."));
    EXPECT_FALSE(Disturbed(served));
    victim.CloseInput();
    EXPECT_NE(victim.Wait(5000), -1);
    ::close(served);
}

TEST_F(CloseRequests, StrangersOnTheCloseSocketDoNotHoldUpTheNextRealRequest) {
    // Silent, garbage and half-sent connections, and whole requests that name another process.
    std::string forged(12, '\0');
    forged[0] = 1;
    const uint32_t loopback = htonl(INADDR_LOOPBACK);
    std::memcpy(forged.data() + 4, &loopback, 4);
    forged[8] = static_cast<char>(port & 0xFF);
    forged[9] = static_cast<char>(port >> 8);
    std::vector<int> strangers;
    for (int i = 0; i < 40; ++i) strangers.push_back(CloseSocketConnection(""));
    for (int i = 0; i < 5; ++i) strangers.push_back(CloseSocketConnection(std::string(100, '\x7f')));
    for (int i = 0; i < 5; ++i) strangers.push_back(CloseSocketConnection(std::string(6, '\0')));
    for (int i = 0; i < 5; ++i) strangers.push_back(CloseSocketConnection(forged));
    for (const int fd : strangers) ASSERT_GE(fd, 0);

    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(Ask(Hold::Own), "reset " + std::to_string(ECONNABORTED));
    EXPECT_LE(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    // Once more after the silent ones were closed for their silence.
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    EXPECT_EQ(Ask(Hold::Own), "reset " + std::to_string(ECONNABORTED));
    for (const int fd : strangers) ::close(fd);
    ASSERT_TRUE(service.Running());
}

TEST_F(ServiceTrust, AResizedAreaGetsAnErrorReplyAndTheServiceServesOn) {
    StartService();
    Attach();
    RawChannel raw;
    ASSERT_TRUE(raw.Open());
    const int fd = ::open(platform::IpcObjectPath(ch::kMapFileName).c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    for (const off_t size : {off_t(10), off_t(0), off_t(3 * ch::kAreaSize)}) {
        SCOPED_TRACE(size);
        ASSERT_EQ(::ftruncate(fd, size), 0);
        raw.Send();
        ASSERT_EQ(raw.Replies(10000, 50), 1);
        // The area has its size again before the reply comes, so the mapping may be read.
        struct stat st {};
        ASSERT_EQ(::fstat(fd, &st), 0);
        EXPECT_EQ(st.st_size, off_t(ch::kAreaSize));
        auto area = raw.Area();
        EXPECT_EQ(area.U32(0), 1u);
        EXPECT_EQ(area.U32(4), 2u);
        EXPECT_EQ(area.Text(8, 256), "Недопустимые данные. (13)");
        ASSERT_TRUE(service.Running());
        EXPECT_TRUE(SaveWindowPos({1, 2, 3, 4}));
    }
    ::close(fd);
    EXPECT_EQ(testsupport::CountLines(ServiceLog(),
                                      "HandleApp2SvcPacket: Error on reading the packet: Недопустимые данные. (13)"),
              3);
}

TEST_F(ServiceTrust, NamesPlantedBeforeTheServiceStartsAreReplacedNotFollowed) {
    const std::string victim = Path("victim");
    {
        QFile file(QString::fromStdString(victim));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("keep");
    }
    auto plant = [](const char* name, uid_t uid, gid_t gid, mode_t mode) {
        const int fd = ::open(platform::IpcObjectPath(name).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        ASSERT_GE(fd, 0) << name;
        EXPECT_EQ(::fchown(fd, uid, gid), 0);
        EXPECT_EQ(::fchmod(fd, mode), 0);
        ::close(fd);
    };
    gid_t group;
    ASSERT_EQ(platform::ChannelGroupId(&group), 0);
    ASSERT_EQ(::symlink(victim.c_str(), platform::IpcObjectPath(ch::kMapFileName).c_str()), 0);
    ASSERT_EQ(::symlink(victim.c_str(), platform::IpcObjectPath(ch::kServiceMutexName).c_str()), 0);
    plant(ch::kRequestEventName, 65534, 65534, 0666);
    plant(ch::kReplyEventName, 65534, group, 0660);
    plant(ch::kAppMutexName, 65534, group, 0666);
    ASSERT_EQ(::symlink(victim.c_str(), platform::IpcObjectPath(ch::kCloseSocketName).c_str()), 0);

    StartService();
    Attach();
    EXPECT_TRUE(SaveMaximized(1));
    for (const char* name : {ch::kMapFileName, ch::kRequestEventName, ch::kReplyEventName, ch::kServiceMutexName,
                             ch::kAppMutexName, ch::kCloseSocketName}) {
        struct stat st {};
        ASSERT_EQ(::lstat(platform::IpcObjectPath(name).c_str(), &st), 0) << name;
        const bool event = std::string(name) == ch::kRequestEventName || std::string(name) == ch::kReplyEventName;
        if (std::string(name) == ch::kCloseSocketName)
            EXPECT_TRUE(S_ISSOCK(st.st_mode));
        else
            EXPECT_TRUE(event ? S_ISFIFO(st.st_mode) : S_ISREG(st.st_mode)) << name;
        EXPECT_EQ(st.st_gid, group) << name;
        EXPECT_EQ(st.st_mode & 07777, 0660u) << name;
    }
    QFile file(QString::fromStdString(victim));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "keep");
    EXPECT_TRUE(ServiceLog().contains(
        QStringLiteral("Warning. %1 was not a channel object of the group ostrovid; it is made anew.")
            .arg(QString::fromStdString(platform::IpcObjectPath(ch::kMapFileName)))));
}

}  // namespace
