// An exchange whose service process goes away before it answers: the wait ends with the
// operation's wait failure soon after the process is gone, not at the time limit.

#include "platform/log.h"
#include "settings/channel_saves.h"
#include "settings/svc_channel.h"
#include "tests/integration/service/child_process.h"
#include "tests/support/ipc_namespace.h"
#include "tests/support/log_lines.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <chrono>
#include <csignal>
#include <future>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class ChannelServiceLoss : public ::testing::Test {
protected:
    void SetUp() override {
        ns = testsupport::UseFreshIpcNamespace("tloss");
        ASSERT_TRUE(dir.isValid());
        platform::SetLogFile(dir.filePath("Ostrovid.log"), dir.filePath("Ostrovid1.log"));
    }
    void TearDown() override {
        settings::SetProgramChannel(nullptr);
        channel.Close();
        if (service.Running()) {
            service.Signal(SIGKILL);
            service.Wait(5000);
        }
        platform::SetLogFile(QString(), QString());
        testsupport::RemoveIpcObjects(ns);
    }

    std::string ns;
    QTemporaryDir dir;
    platform::Event term{true, false};
    settings::SvcChannel channel{&term};
    testsupport::ChildProcess service;
};

TEST_F(ChannelServiceLoss, AServiceProcessThatDiesMidExchangeEndsTheWait) {
    ASSERT_TRUE(service.Start({FAKE_SERVICE_BINARY}));
    std::string line;
    ASSERT_TRUE(service.ReadLine(&line, 5000));
    ASSERT_EQ(line, "ready");
    ASSERT_EQ(channel.InitSyncObjects(), settings::kAttached);
    settings::SetProgramChannel(&channel);

    std::future<bool> save = std::async(std::launch::async, [] { return settings::SaveMaximized(1); });
    ASSERT_TRUE(service.ReadLine(&line, 5000));
    ASSERT_EQ(line, "request");
    // The service holds its mutex and does not answer: the save waits.
    EXPECT_EQ(save.wait_for(500ms), std::future_status::timeout);

    service.CloseInput();
    const Clock::time_point died = Clock::now();
    ASSERT_NE(service.Wait(5000), -1);
    ASSERT_EQ(save.wait_for(5s), std::future_status::ready);
    EXPECT_LT(Clock::now() - died, 2s);
    EXPECT_FALSE(save.get());
    EXPECT_EQ(testsupport::CountLines(testsupport::LogLines(dir.filePath("Ostrovid.log")),
                                      "SaveMaximized(): Unknown error on WaitForMultipleObjects."),
              1);
}

}  // namespace
