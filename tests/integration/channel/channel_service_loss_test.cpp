// An exchange whose service process goes away before it answers: the wait ends with the
// operation's wait failure soon after the process is gone, not at the time limit.

#include "settings/channel_saves.h"
#include "tests/integration/channel/stand_in_fixture.h"
#include "tests/support/log_lines.h"

#include <chrono>
#include <future>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class ChannelServiceLoss : public testsupport::StandInServiceTest {
protected:
    void SetUp() override { Prepare("tloss"); }
};

TEST_F(ChannelServiceLoss, AServiceProcessThatDiesMidExchangeEndsTheWait) {
    Attach({FAKE_SERVICE_BINARY});
    ASSERT_FALSE(HasFatalFailure());
    std::string line;

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
