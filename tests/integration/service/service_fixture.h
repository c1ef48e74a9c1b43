#pragma once
// The real OstrovidSvc -debug as a child process in private folders and a private object
// namespace, with the program's end of the channel in the test process.

#include "platform/ipc.h"
#include "platform/log.h"
#include "platform/operator_group.h"
#include "platform/registry.h"
#include "settings/channel_packet.h"
#include "settings/svc_channel.h"
#include "tests/integration/service/child_process.h"
#include "tests/support/ipc_namespace.h"
#include "tests/support/log_lines.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class ServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ns = testsupport::UseFreshIpcNamespace("tsvc");
        ASSERT_TRUE(dir.isValid());
        // Traversable by every user, so a service started as another user finds its folders.
        ::chmod(Path("").c_str(), 0755);
        for (const char* sub : {"store", "autostart"}) QDir().mkpath(dir.filePath(sub));
        for (const char* sub : {"data", "tmp"}) {
            QDir().mkpath(dir.filePath(sub));
            ::chmod(Path(sub).c_str(), 0777);
        }
        storePath = dir.filePath("store/registry.reg");
        ::setenv("OSTROVID_REGISTRY", storePath.toLocal8Bit().constData(), 1);
        ::setenv("OSTROVID_COMMON_APPDATA", Path("data").c_str(), 1);
        ::setenv("OSTROVID_AUTOSTART_DIR", Path("autostart").c_str(), 1);
        ::setenv("TMPDIR", Path("tmp").c_str(), 1);
        ::setenv("OSTROVID_SYSLOG_SOCKET", Path("syslog").c_str(), 1);
        ::setenv("OSTROVID_SVC_LOG_DIR", Path("svclog").c_str(), 1);
        EnsureOperatorGroup();
        logPath = dir.filePath("Ostrovid.log");
        platform::SetLogFile(logPath, dir.filePath("Ostrovid1.log"));
    }

    void TearDown() override {
        settings::SetProgramChannel(nullptr);
        if (channel) channel->Close();
        if (service.Running()) {
            service.Signal(SIGTERM);
            EXPECT_NE(service.Wait(10000), -1) << "the service did not stop on SIGTERM";
        }
        testsupport::RemoveIpcObjects(ns);
    }

    std::string Path(const char* sub) const { return dir.filePath(sub).toStdString(); }

    // The setup scripts make the group before the tests run; a test run without them (or a machine
    // where it was removed) makes it here when it can.
    static void EnsureOperatorGroup() {
        if (geteuid() == 0 && !platform::OperatorGroupId()) (void)std::system("groupadd --system ostrovid");
    }

    // Under another user the service is a member of the group ostrovid, as its objects must be,
    // and gets its log folder made for it, as root would own it.
    void StartService(int uid = -1) {
        std::vector<gid_t> groups;
        if (uid >= 0) {
            const std::optional<gid_t> group = platform::OperatorGroupId();
            ASSERT_TRUE(group.has_value());
            groups.push_back(*group);
            ::mkdir(Path("svclog").c_str(), 0750);
            ASSERT_EQ(::chown(Path("svclog").c_str(), static_cast<uid_t>(uid), static_cast<gid_t>(-1)), 0);
        }
        ASSERT_TRUE(service.Start({OSTROVID_SVC_BINARY, "-debug"}, uid, Path("svc.out"), groups));
    }

    // The program's attach, repeated until the service has created its objects.
    void Attach() {
        channel = std::make_unique<settings::SvcChannel>(&term);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        int result;
        while ((result = channel->InitSyncObjects()) == settings::kServiceNotReady &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_EQ(result, settings::kAttached);
        settings::SetProgramChannel(channel.get());
    }

    QStringList ProgramLog() const { return testsupport::LogLines(logPath); }
    QString ServiceLogPath() const { return dir.filePath("svclog/OstrovidSvc.log"); }
    QStringList ServiceLog() const { return testsupport::LogLines(ServiceLogPath()); }

    bool WaitForServiceLine(const QString& text, int timeoutMs) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < deadline) {
            if (ServiceLog().contains(text)) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    std::unique_ptr<platform::RegistryStore> LoadStore() const {
        auto store = std::make_unique<platform::RegistryStore>(storePath);
        EXPECT_EQ(store->Load(), 0);
        return store;
    }

    std::string ns;
    QTemporaryDir dir;
    QString storePath;
    QString logPath;
    platform::Event term{true, false};
    std::unique_ptr<settings::SvcChannel> channel;
    testsupport::ChildProcess service;
};

// Raw access to the channel, for packets the program never sends: writes into the area, sets
// the request event and counts the bytes the service writes into the reply event's FIFO (one per
// reply).
class RawChannel {
public:
    bool Open() {
        if (area_.Open(settings::channel::kMapFileName, settings::channel::kAreaSize) != 0 || area_.Map() != 0)
            return false;
        if (request_.Create(settings::channel::kRequestEventName) != 0) return false;
        replyFd_ = ::open(platform::IpcObjectPath(settings::channel::kReplyEventName).c_str(), O_RDONLY | O_NONBLOCK);
        return replyFd_ >= 0;
    }
    ~RawChannel() {
        if (replyFd_ >= 0) ::close(replyFd_);
    }

    settings::channel::ChannelArea Area() { return {area_.Data(), area_.Size()}; }

    void Send() { request_.Set(); }

    // Reply bytes that arrive within timeoutMs of the first one (0 when none comes in time).
    int Replies(int firstTimeoutMs, int settleMs) {
        int count = 0;
        pollfd p{replyFd_, POLLIN, 0};
        if (poll(&p, 1, firstTimeoutMs) <= 0) return 0;
        const auto settle = std::chrono::steady_clock::now() + std::chrono::milliseconds(settleMs);
        for (;;) {
            char bytes[64];
            const ssize_t got = ::read(replyFd_, bytes, sizeof bytes);
            if (got > 0) {
                count += static_cast<int>(got);
                continue;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(settle - std::chrono::steady_clock::now())
                    .count();
            if (left <= 0) return count;
            poll(&p, 1, static_cast<int>(left));
        }
    }

private:
    platform::NamedSharedMemory area_;
    platform::NamedEvent request_;
    int replyFd_ = -1;
};
