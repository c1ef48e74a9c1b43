#include "platform/contract.h"
#include "platform/sync.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

TEST(CriticalSectionOwner, KnownToTheHoldingThreadOnlyUntilTheLastLeave) {
    platform::CriticalSection lock;
    EXPECT_FALSE(lock.HeldByCurrentThread());
    lock.Enter();
    ASSERT_TRUE(lock.TryEnter());  // recursive
    lock.Leave();
    EXPECT_TRUE(lock.HeldByCurrentThread());
    bool heldElsewhere = true;
    std::thread([&] { heldElsewhere = lock.HeldByCurrentThread(); }).join();
    EXPECT_FALSE(heldElsewhere);
    lock.Leave();
    EXPECT_FALSE(lock.HeldByCurrentThread());
}

TEST(Contract, ABrokenRuleAbortsWithItsPlaceConditionAndMessage) {
    if (!platform::kContractsChecked) {
        GTEST_SKIP() << "contracts are compiled out in release builds; debug and sanitizer builds check them";
    }
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    platform::CriticalSection lock;
    EXPECT_DEATH(OSTROVID_ASSERT(lock.HeldByCurrentThread(), "needs the lock held"),
                 "contract_test\\.cpp:[0-9]+: contract broken: lock\\.HeldByCurrentThread\\(\\): needs the lock held");
    platform::CriticalSectionLock held(lock);
    OSTROVID_ASSERT(lock.HeldByCurrentThread(), "needs the lock held");  // kept: no abort
}

}  // namespace
