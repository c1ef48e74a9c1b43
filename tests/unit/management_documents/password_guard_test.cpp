#include "app/management/password_guard.h"

#include <gtest/gtest.h>

namespace {

using management::WrongPasswordGuard;
using Line = WrongPasswordGuard::JournalLine;
using namespace std::chrono_literals;

TEST(WrongPasswordGuardTest, OneJournalLineAMinutePerAddressAndALongerWaitWithEveryGuess) {
    WrongPasswordGuard guard;
    const auto t0 = WrongPasswordGuard::Clock::time_point() + 1h;
    const QString stranger = QStringLiteral("10.0.0.9");

    auto first = guard.WrongPassword(stranger, t0);
    EXPECT_EQ(first.line, Line::Single);
    EXPECT_EQ(first.delay, 0ms);
    std::vector<std::chrono::milliseconds> delays;
    for (int i = 1; i <= 12; ++i) {
        const auto verdict = guard.WrongPassword(stranger, t0 + i * 2s);
        EXPECT_EQ(verdict.line, Line::None) << i;
        delays.push_back(verdict.delay);
    }
    EXPECT_EQ(delays[0], 250ms);
    EXPECT_EQ(delays[3], 1000ms);
    EXPECT_EQ(delays.back(), WrongPasswordGuard::kMaxDelay);

    // Another address has its own line and no wait.
    const auto other = guard.WrongPassword(QStringLiteral("10.0.0.10"), t0 + 3s);
    EXPECT_EQ(other.line, Line::Single);
    EXPECT_EQ(other.delay, 0ms);

    // A minute after its line, the stranger's next guess brings the summary of all since then.
    const auto summary = guard.WrongPassword(stranger, t0 + 61s);
    EXPECT_EQ(summary.line, Line::Summary);
    EXPECT_EQ(summary.count, 13);
    EXPECT_EQ(summary.delay, 0ms);  // a new minute
    EXPECT_EQ(guard.WrongPassword(stranger, t0 + 62s).line, Line::None);
    // After a quiet minute a single guess is the usual warning again.
    const auto single = guard.WrongPassword(QStringLiteral("10.0.0.10"), t0 + 200s);
    EXPECT_EQ(single.line, Line::Single);
    EXPECT_EQ(single.count, 1);
}

TEST(WrongPasswordGuardTest, ManyAddressesKeepItsMemoryBoundedAndTheActiveOnesRemembered) {
    WrongPasswordGuard guard;
    const auto t0 = WrongPasswordGuard::Clock::time_point() + 1h;
    const QString stranger = QStringLiteral("10.0.0.9");
    guard.WrongPassword(stranger, t0);
    for (qsizetype i = 0; i < 3 * WrongPasswordGuard::kMaxAddresses; ++i)
        guard.WrongPassword(QStringLiteral("10.1.%1.%2").arg(i / 250).arg(i % 250), t0 + 1s + i * 1ms);
    // The stranger was the oldest: forgotten, so it starts again, while a recent one is still held back.
    EXPECT_EQ(guard.WrongPassword(stranger, t0 + 10s).line, Line::Single);
    const qsizetype last = 3 * WrongPasswordGuard::kMaxAddresses - 1;
    EXPECT_EQ(guard.WrongPassword(QStringLiteral("10.1.%1.%2").arg(last / 250).arg(last % 250), t0 + 10s).line,
              Line::None);
}

}  // namespace
