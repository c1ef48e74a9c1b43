#include "platform/sync.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using platform::Event;
using platform::ReadableFd;
using platform::Semaphore;
using platform::WaitForAny;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

TEST(EventTest, AutoResetWakesExactlyOneOfTwoWaiters) {
    Event event(false, false);
    std::atomic<int> woken{0};
    auto waiter = [&] {
        if (event.Wait(600)) ++woken;
    };
    std::thread first(waiter), second(waiter);
    std::this_thread::sleep_for(milliseconds(100));
    event.Set();
    first.join();
    second.join();
    EXPECT_EQ(woken.load(), 1);
    EXPECT_FALSE(event.Wait(0));
}

TEST(EventTest, AutoResetSetTwiceIsStillOneSignal) {
    Event event(false, true);
    event.Set();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.Wait(0));
}

TEST(EventTest, ManualResetStaysSetForEveryWaiterUntilReset) {
    Event event(true, false);
    EXPECT_FALSE(event.Wait(0));
    std::atomic<int> woken{0};
    std::thread first([&] { woken += event.Wait(2000); });
    std::thread second([&] { woken += event.Wait(2000); });
    std::this_thread::sleep_for(milliseconds(50));
    event.Set();
    first.join();
    second.join();
    EXPECT_EQ(woken.load(), 2);
    EXPECT_TRUE(event.Wait(0));
    event.Reset();
    EXPECT_FALSE(event.Wait(0));
    event.Reset();  // resetting a reset event is harmless
    EXPECT_FALSE(event.Wait(0));
}

TEST(EventTest, InfiniteWaitEndsWhenAnotherThreadSets) {
    Event event(false, false);
    std::thread setter([&] {
        std::this_thread::sleep_for(milliseconds(30));
        event.Set();
    });
    EXPECT_TRUE(event.Wait(platform::kInfinite));
    setter.join();
}

// What a thread wrote before Set is what the waiter reads after its wait, for both kinds (the
// thread sanitizer checks the ordering; a waiter of a manual-reset event reads nothing from the
// descriptor).
TEST(EventTest, WritesBeforeSetAreSeenAfterTheWait) {
    for (const bool manualReset : {true, false}) {
        Event event(manualReset, false);
        int answer = 0;
        std::thread setter([&] {
            answer = 42;
            event.Set();
        });
        ASSERT_TRUE(event.Wait(platform::kInfinite));
        EXPECT_EQ(answer, 42);
        setter.join();
    }
}

TEST(WaitForAnyTest, LowestSignalledIndexWinsAndOnlyItIsConsumed) {
    Event stop(false, false), first(false, true), second(false, true);
    EXPECT_EQ(WaitForAny({&stop, &first, &second}, 0), 1);
    EXPECT_EQ(WaitForAny({&stop, &first, &second}, 0), 2);
    EXPECT_EQ(WaitForAny({&stop, &first, &second}, 0), platform::kWaitTimeout);
}

TEST(WaitForAnyTest, TimesOutAfterTheGivenTime) {
    Event a(false, false), b(true, false);
    const auto start = steady_clock::now();
    EXPECT_EQ(WaitForAny({&a, &b}, 80), platform::kWaitTimeout);
    const auto elapsed = steady_clock::now() - start;
    EXPECT_GE(elapsed, milliseconds(80));
    EXPECT_LT(elapsed, milliseconds(1000));
}

TEST(WaitForAnyTest, ReadableSocketCountsAsSignalledAndIsNotConsumed) {
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    Event stop(true, false);
    ReadableFd socket(pair[0]);
    std::thread sender([&] {
        std::this_thread::sleep_for(milliseconds(30));
        ASSERT_EQ(write(pair[1], "x", 1), 1);
    });
    EXPECT_EQ(WaitForAny({&stop, &socket}, 2000), 1);
    sender.join();
    EXPECT_EQ(WaitForAny({&stop, &socket}, 0), 1);
    stop.Set();
    EXPECT_EQ(WaitForAny({&stop, &socket}, 0), 0);
    close(pair[0]);
    close(pair[1]);
}

TEST(WaitForAnyTest, ClosedOrMissingDescriptorFails) {
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    close(pipeFds[0]);
    close(pipeFds[1]);
    ReadableFd closed(pipeFds[0]);
    EXPECT_EQ(WaitForAny({&closed}, 0), platform::kWaitFailed);
    ReadableFd missing(-1);
    EXPECT_EQ(WaitForAny({&missing}, platform::kInfinite), platform::kWaitFailed);
}

TEST(SemaphoreTest, CountsReleasesAndAcquisitions) {
    Semaphore semaphore(2);
    EXPECT_TRUE(semaphore.Wait(0));
    EXPECT_TRUE(semaphore.Wait(0));
    EXPECT_FALSE(semaphore.Wait(0));
    semaphore.Release(3);
    Event never(false, false);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(WaitForAny({&never, &semaphore}, 0), 1);
    EXPECT_EQ(WaitForAny({&never, &semaphore}, 0), platform::kWaitTimeout);
}

TEST(NamedThreadTest, BodySeesItsNameCutToFifteenCharacters) {
    std::string seen;
    std::thread worker =
        platform::StartNamedThread("TcpSessionRecvThreadFunc", [&] { seen = platform::CurrentThreadName(); });
    worker.join();
    EXPECT_EQ(seen, "TcpSessionRecvT");
}

}  // namespace
