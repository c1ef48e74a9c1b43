// Attaching before and after the service starts, a second program, the watchdog when the service
// stops or dies, and the reset of a camera connection.

#include "settings/channel_saves.h"
#include "tests/integration/service/service_fixture.h"
#include "tests/support/loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <dirent.h>

#include <algorithm>
#include <atomic>
#include <future>

using namespace settings;
using Clock = std::chrono::steady_clock;

namespace {

int MillisecondsSince(Clock::time_point start) {
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

class ServiceLifecycle : public ServiceTest {
protected:
    // Runs the watchdog until it ends; the future tells whether it asked the window to close.
    std::future<bool> StartWatchdog() {
        return std::async(std::launch::async, [this] {
            bool asked = false;
            channel->SvcLiveThreadFunc([&] { asked = true; });
            return asked;
        });
    }
};

TEST_F(ServiceLifecycle, AProgramStartedFirstWaitsWithOneLineAndAttachesOnTheNextTick) {
    channel = std::make_unique<SvcChannel>(&term);
    for (int tick = 0; tick < 3; ++tick) {
        EXPECT_EQ(channel->InitSyncObjects(), kServiceNotReady);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    const Clock::time_point started = Clock::now();
    StartService();
    // The start-up dialog's timer asks once a second.
    int result;
    while ((result = channel->InitSyncObjects()) == kServiceNotReady && MillisecondsSince(started) < 10000)
        std::this_thread::sleep_for(std::chrono::seconds(1));
    ASSERT_EQ(result, kAttached);
    EXPECT_LE(MillisecondsSince(started), 2500);
    EXPECT_EQ(testsupport::CountLines(ProgramLog(), "OstrovidSvc must be started before. Waiting..."), 1);
    SetProgramChannel(channel.get());
    EXPECT_TRUE(SaveMaximized(0));
}

// The names under this test's namespace prefix in /dev/shm.
std::vector<std::string> ObjectsLeft(const std::string& ns) {
    std::vector<std::string> names;
    DIR* shm = opendir("/dev/shm");
    if (!shm) return names;
    while (const dirent* entry = readdir(shm))
        if (std::string(entry->d_name).rfind(ns, 0) == 0) names.push_back(entry->d_name + ns.size());
    closedir(shm);
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(ServiceLifecycle, ACleanStopTakesTheServicesObjectsAndLeavesTheProgramsOwn) {
    // A service that runs before any program: all six are its own.
    StartService();
    ASSERT_TRUE(WaitForServiceLine("Ostrovid Service 2.2.0 is running.", 10000));
    Attach();
    SetProgramChannel(nullptr);
    channel->Close();
    ASSERT_EQ(ObjectsLeft(ns).size(), 6u);
    service.Signal(SIGTERM);
    ASSERT_NE(service.Wait(10000), -1);
    EXPECT_EQ(ObjectsLeft(ns), std::vector<std::string>{});

    // A program that waited for the service made four of them; they stay while it runs.
    channel = std::make_unique<SvcChannel>(&term);
    ASSERT_EQ(channel->InitSyncObjects(), kServiceNotReady);
    StartService();
    const Clock::time_point started = Clock::now();
    int result;
    while ((result = channel->InitSyncObjects()) == kServiceNotReady && MillisecondsSince(started) < 15000)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_EQ(result, kAttached);
    service.Signal(SIGTERM);
    ASSERT_NE(service.Wait(10000), -1);
    EXPECT_EQ(ObjectsLeft(ns), (std::vector<std::string>{channel::kRequestEventName, channel::kAppMutexName,
                                                         channel::kServiceMutexName, channel::kReplyEventName}));
    SetProgramChannel(nullptr);
    channel->Close();
    EXPECT_EQ(ObjectsLeft(ns), std::vector<std::string>{});
}

// Whether the process holds the file at path open, looked for until the time is up.
bool HoldsOpen(pid_t pid, const std::string& path, int timeoutMs) {
    const Clock::time_point started = Clock::now();
    const std::string folder = "/proc/" + std::to_string(pid) + "/fd";
    do {
        if (DIR* fds = opendir(folder.c_str())) {
            bool found = false;
            while (const dirent* entry = readdir(fds)) {
                char target[4096];
                const ssize_t n = readlinkat(dirfd(fds), entry->d_name, target, sizeof target);
                found = found || (n > 0 && std::string(target, static_cast<size_t>(n)) == path);
            }
            closedir(fds);
            if (found) return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (MillisecondsSince(started) < timeoutMs);
    return false;
}

TEST_F(ServiceLifecycle, AServiceStoppedWhileItWaitsForAnotherEndsCleanlyAndLeavesTheOthersObjects) {
    StartService();
    ASSERT_TRUE(WaitForServiceLine("Ostrovid Service 2.2.0 is running.", 10000));
    const std::vector<std::string> made = ObjectsLeft(ns);
    ASSERT_EQ(made.size(), 6u);
    testsupport::ChildProcess second;
    ASSERT_TRUE(second.Start({OSTROVID_SVC_BINARY, "-debug"}, -1, Path("svc2.out")));
    // Holding the first one's mutex open, it waits for it.
    ASSERT_TRUE(HoldsOpen(second.Pid(), platform::IpcObjectPath(channel::kServiceMutexName), 10000));
    second.Signal(SIGTERM);
    const int status = second.Wait(10000);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(ObjectsLeft(ns), made);
    Attach();
    EXPECT_TRUE(SaveMaximized(0));
}

// A service that stops cleanly takes the names of its objects; a program that opened them while
// it was starting and waits for the area attaches to the next service, not to the old objects.
TEST_F(ServiceLifecycle, AProgramThatWaitsAttachesToTheNextServiceAfterTheNamesWent) {
    channel = std::make_unique<SvcChannel>(&term);
    ASSERT_EQ(channel->InitSyncObjects(), kServiceNotReady);
    // As the stopping service removes what it made.
    testsupport::RemoveIpcObjects(ns);
    ASSERT_EQ(channel->InitSyncObjects(), kServiceNotReady);
    StartService();
    const Clock::time_point started = Clock::now();
    int result;
    while ((result = channel->InitSyncObjects()) == kServiceNotReady && MillisecondsSince(started) < 10000)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(result, kAttached);
    SetProgramChannel(channel.get());
    EXPECT_TRUE(SaveMaximized(1));
}

TEST_F(ServiceLifecycle, ASecondProgramWaitsUntilTheFirstEnds) {
    StartService();
    Attach();
    testsupport::ChildProcess second;
    ASSERT_TRUE(second.Start({CHANNEL_PEER_BINARY, "attach"}));
    std::string line;
    EXPECT_FALSE(second.ReadLine(&line, 1500)) << line;
    const Clock::time_point released = Clock::now();
    settings::SetProgramChannel(nullptr);
    channel->Close();
    channel.reset();
    ASSERT_TRUE(second.ReadLine(&line, 5000));
    EXPECT_EQ(line, "attached");
    EXPECT_LE(MillisecondsSince(released), 1000);
    second.CloseInput();
    EXPECT_NE(second.Wait(5000), -1);
}

TEST_F(ServiceLifecycle, TheWatchdogClosesTheProgramWhenTheServiceStops) {
    StartService();
    Attach();
    std::future<bool> watchdog = StartWatchdog();
    ASSERT_EQ(watchdog.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
    service.Signal(SIGTERM);
    ASSERT_EQ(watchdog.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_TRUE(watchdog.get());
    const int status = service.Wait(10000);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const QStringList log = ProgramLog();
    EXPECT_TRUE(log.contains("SvcLiveThreadFunc(): OstrovidSvc is shutdown. Breaking application..."));
    EXPECT_TRUE(log.contains("SvcLiveThreadFunc(): Thread exit."));
    const QStringList svc = ServiceLog();
    EXPECT_TRUE(svc.contains("ServiceStopEvent singaled."));
    EXPECT_TRUE(svc.contains("AppCommThread completed."));
    EXPECT_EQ(svc.filter("stopped.").size(), 1);
}

TEST_F(ServiceLifecycle, TheWatchdogClosesTheProgramWhenTheServiceDies) {
    StartService();
    Attach();
    std::future<bool> watchdog = StartWatchdog();
    service.Signal(SIGKILL);
    ASSERT_EQ(watchdog.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_TRUE(watchdog.get());
    EXPECT_TRUE(
        ProgramLog().contains("SvcLiveThreadFunc(): Unknown error on WaitForMultipleObjects. Breaking application..."));
    EXPECT_TRUE(WIFSIGNALED(service.Wait(5000)));
    // The dead service's area is still in /dev/shm, but nobody serves it.
    channel->Close();
    channel = std::make_unique<SvcChannel>(&term);
    ASSERT_EQ(::access(platform::IpcObjectPath(channel::kMapFileName).c_str(), F_OK), 0);
    EXPECT_EQ(channel->InitSyncObjects(), kServiceNotReady);
    // A watchdog that is told to end first says so and asks nothing.
    StartService();
    Attach();
    std::future<bool> second = StartWatchdog();
    term.Set();
    ASSERT_EQ(second.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_FALSE(second.get());
    EXPECT_TRUE(ProgramLog().contains("SvcLiveThreadFunc(): TermEvent signaled."));
}

class Listener {
public:
    Listener() { fd_ = testsupport::ListenOnLoopback(&port_, 4); }
    ~Listener() { close(fd_); }
    uint16_t Port() const { return port_; }
    int Accept() { return accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC); }

private:
    int fd_;
    uint16_t port_ = 0;
};

int ConnectTo(uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(port);
    return connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0 ? fd : -1;
}

// The close command as the program sends it, for the process given.
bool SendCloseSocketCommandFor(pid_t pid, uint32_t address, uint16_t port) {
    return ExchangeOnProgramChannel(
        {"SendCloseSocketCommand", channel::PacketType::CloseTcpSocket, channel::payload_size::kCloseTcpSocket, 0,
         QStringLiteral("SendCloseSocketCommand successfully handled."),
         QStringLiteral("Error on handling SendCloseSocketCommand: "), [&](channel::ChannelArea& area) {
             area.SetU32(channel::close_tcp::kPid, static_cast<uint32_t>(pid));
             area.CopyIn(channel::close_tcp::kAddress, &address, sizeof address);
             area.SetU16(channel::close_tcp::kPort, port);
         }});
}

TEST_F(ServiceLifecycle, NoProcessButTheRequesterItselfHasAConnectionReset) {
    // Resetting a connection needs CAP_NET_ADMIN, which the service has as root.
    if (geteuid() != 0) GTEST_SKIP() << "the service must run as root to reset connections";
    StartService();
    Attach();
    const uint32_t loopback = htonl(INADDR_LOOPBACK);

    Listener camera;
    const int client = ConnectTo(camera.Port());
    ASSERT_GE(client, 0);
    const int served = camera.Accept();
    std::future<int> reader = std::async(std::launch::async, [client] {
        char byte;
        return recv(client, &byte, 1, 0) < 0 ? errno : 0;
    });
    // This test process is not the program: its connection stays.
    EXPECT_FALSE(SendCloseSocketCommand(loopback, camera.Port()));
    EXPECT_TRUE(ProgramLog().contains("Error on handling SendCloseSocketCommand: Отказано в доступе. (5)"));
    ASSERT_EQ(reader.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);

    // The same connection held by the program stays when this process asks in the program's name.
    testsupport::StoppedProgram program;
    ASSERT_TRUE(program.Start(OSTROVID_PROGRAM_BINARY, client));
    EXPECT_FALSE(SendCloseSocketCommandFor(program.Pid(), loopback, camera.Port()));
    ASSERT_EQ(reader.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
    const QString socketPath = QString::fromStdString(platform::IpcObjectPath(channel::kCloseSocketName));
    auto notConfirmed = [&](pid_t pid) {
        return QStringLiteral("HandleCloseTcpSocketCommand(): Process %1 has not confirmed the request through %2.")
            .arg(pid)
            .arg(socketPath);
    };
    EXPECT_TRUE(ServiceLog().contains(notConfirmed(program.Pid())));

    // Without the close socket the packet goes all the same, and is refused after the wait.
    ASSERT_EQ(::unlink(platform::IpcObjectPath(channel::kCloseSocketName).c_str()), 0);
    const Clock::time_point asked = Clock::now();
    EXPECT_FALSE(SendCloseSocketCommand(loopback, camera.Port()));
    EXPECT_LE(MillisecondsSince(asked), 3000);
    const QStringList log = ProgramLog();
    EXPECT_EQ(testsupport::CountLines(
                  log, QStringLiteral("SendCloseSocketCommand(): Can't reach %1: Не удается найти указанный файл. (2)")
                           .arg(socketPath)),
              1);
    EXPECT_EQ(testsupport::CountLines(log, "Error on handling SendCloseSocketCommand: Отказано в доступе. (5)"), 3);
    EXPECT_TRUE(ServiceLog().contains(notConfirmed(getpid())));
    ASSERT_EQ(reader.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
    shutdown(client, SHUT_RDWR);
    reader.wait();
    close(client);
    close(served);
}

}  // namespace
