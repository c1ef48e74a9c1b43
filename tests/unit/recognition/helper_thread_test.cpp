// The detection's helper thread: every item done once and visible when Share returns, and a
// failure on either thread coming out of Share only after the helper has left the work.

#include "app/recognition/helper_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

namespace recognition {
namespace {

using namespace std::chrono_literals;

// The caller's run holds back until the helper has started its own (at most a few seconds).
void AwaitHelper(const std::atomic<bool>& started) {
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!started.load() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
}

TEST(HelperThread, SharedItemsAreEachDoneOnceAndSeenWhenShareReturns) {
    HelperThread helper;
    constexpr size_t kItems = 32;
    std::vector<int> done(kItems);
    std::atomic<int> helperItems{0};
    for (int round = 1; round <= 100; ++round) {
        std::atomic<size_t> next{0};
        const std::thread::id caller = std::this_thread::get_id();
        helper.Share([&] {
            for (size_t i = next.fetch_add(1); i < kItems; i = next.fetch_add(1)) {
                // Plain writes: only Share's hand-back makes the helper's ones visible here.
                done[i] += 1;
                if (std::this_thread::get_id() != caller) helperItems.fetch_add(1);
                std::this_thread::sleep_for(20us);
            }
        });
        for (size_t i = 0; i < kItems; ++i) ASSERT_EQ(done[i], round) << "item " << i << ", round " << round;
    }
    // On a busy machine the helper may come late every time; the answer is right either way.
    if (std::thread::hardware_concurrency() > 1) {
        EXPECT_GT(helperItems.load(), 0);
    }
}

TEST(HelperThread, AFailureOfEitherRunComesOutAfterTheHelperHasLeft) {
    HelperThread helper;
    const std::thread::id caller = std::this_thread::get_id();

    std::atomic<bool> started{false};
    EXPECT_THROW(helper.Share([&] {
        if (std::this_thread::get_id() == caller) return AwaitHelper(started);
        started.store(true);
        throw std::runtime_error("helper");
    }),
                 std::runtime_error);
    ASSERT_TRUE(started.load()) << "the helper never ran";

    started.store(false);
    std::atomic<bool> helperLeft{false};
    EXPECT_THROW(helper.Share([&] {
        if (std::this_thread::get_id() == caller) {
            AwaitHelper(started);
            throw std::logic_error("caller");
        }
        started.store(true);
        std::this_thread::sleep_for(50ms);
        helperLeft.store(true);
    }),
                 std::logic_error);
    EXPECT_TRUE(helperLeft.load());

    // The helper still serves after both failures.
    std::atomic<int> next{0};
    std::atomic<int> items{0};
    helper.Share([&] {
        while (next.fetch_add(1) < 10) items.fetch_add(1);
    });
    EXPECT_EQ(items.load(), 10);
}

}  // namespace
}  // namespace recognition
