// Named objects between processes: ownership, abandonment and recursion of mutexes, auto-reset
// events seen through several handles, the shared area.

#include "platform/ipc.h"
#include "platform/syserror.h"
#include "tests/support/ipc_namespace.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>

using platform::NamedMutex;

namespace {

class Ipc : public ::testing::Test {
protected:
    void SetUp() override { ns = testsupport::UseFreshIpcNamespace("tipc"); }
    void TearDown() override { testsupport::RemoveIpcObjects(ns); }

    // A child that takes the mutex, says so through a pipe and then, when told, either releases
    // it and exits or dies holding it.
    pid_t ChildOwner(const char* name, bool releaseBeforeExit, int* toChild, int* fromChild) {
        int down[2], up[2];
        EXPECT_EQ(pipe(down), 0);
        EXPECT_EQ(pipe(up), 0);
        const pid_t pid = fork();
        if (pid == 0) {
            NamedMutex mutex;
            if (mutex.Create(name) != 0 || mutex.Lock(5000) != NamedMutex::LockResult::Acquired) _exit(1);
            (void)!write(up[1], "L", 1);
            char c;
            (void)!read(down[0], &c, 1);
            if (releaseBeforeExit) mutex.Release();
            _exit(0);
        }
        close(down[0]);
        close(up[1]);
        *toChild = down[1];
        *fromChild = up[0];
        char c = 0;
        EXPECT_EQ(read(up[0], &c, 1), 1);
        return pid;
    }

    std::string ns;
};

TEST_F(Ipc, AMutexPassesOnReleaseAndIsAbandonedByAnOwnerThatDies) {
    for (const bool release : {true, false}) {
        SCOPED_TRACE(release ? "released" : "died");
        int toChild, fromChild;
        const pid_t child = ChildOwner("M", release, &toChild, &fromChild);
        NamedMutex mutex;
        ASSERT_EQ(mutex.Create("M"), 0);
        EXPECT_TRUE(mutex.HeldElsewhere());
        EXPECT_EQ(mutex.Lock(150), NamedMutex::LockResult::Timeout);
        (void)!write(toChild, "x", 1);
        EXPECT_EQ(mutex.Lock(5000), release ? NamedMutex::LockResult::Acquired : NamedMutex::LockResult::Abandoned);
        EXPECT_EQ(mutex.WasAbandoned(), !release);
        EXPECT_FALSE(mutex.HeldElsewhere());
        mutex.Release();
        EXPECT_FALSE(mutex.HeldElsewhere());
        int status = 0;
        waitpid(child, &status, 0);
        close(toChild);
        close(fromChild);
    }
}

TEST_F(Ipc, TheOwnerMayTakeItsMutexAgainAndMustReleaseItAsOften) {
    NamedMutex owner, other;
    ASSERT_EQ(owner.Create("R"), 0);
    ASSERT_EQ(other.Create("R"), 0);
    EXPECT_EQ(owner.Lock(100), NamedMutex::LockResult::Acquired);
    EXPECT_EQ(owner.Lock(100), NamedMutex::LockResult::Acquired);
    EXPECT_FALSE(owner.WasAbandoned());
    owner.Release();
    EXPECT_EQ(other.Lock(150), NamedMutex::LockResult::Timeout);
    owner.Release();
    EXPECT_EQ(other.Lock(1000), NamedMutex::LockResult::Acquired);
    // Closing while owned leaves it abandoned for the next owner.
    other.Close();
    EXPECT_EQ(owner.Lock(1000), NamedMutex::LockResult::Abandoned);
}

TEST_F(Ipc, AnEventSetThroughOneHandleWakesOneWaitOnAnother) {
    platform::NamedEvent setter, waiter;
    ASSERT_EQ(setter.Create("E"), 0);
    EXPECT_TRUE(setter.WasCreated());
    ASSERT_EQ(waiter.Create("E"), 0);
    EXPECT_FALSE(waiter.WasCreated());
    platform::Event local(false, false);
    EXPECT_EQ(platform::WaitForAny({&local, &waiter}, 50), platform::kWaitTimeout);
    setter.Set();
    setter.Set();
    EXPECT_EQ(platform::WaitForAny({&local, &waiter}, 1000), 1);
    // Auto reset: the signal was taken.
    EXPECT_FALSE(waiter.Wait(50));
    local.Set();
    EXPECT_EQ(platform::WaitForAny({&local, &waiter}, 1000), 0);
}

TEST_F(Ipc, TheAreaIsOpenedOnlyOnceItExistsAndWidenedOnlyOnRequest) {
    platform::NamedSharedMemory reader, creator;
    EXPECT_EQ(reader.Open("A", 0x20000), platform::kErrorFileNotFound);
    ASSERT_EQ(creator.Create("A", 0x1000), 0);
    // Shorter than the reader expects: refused rather than faulting later.
    EXPECT_NE(reader.Open("A", 0x20000), 0);
    ASSERT_EQ(creator.Create("A", 0x20000), 0);
    ASSERT_EQ(creator.Map(), 0);
    struct stat st {};
    ASSERT_EQ(::stat(platform::IpcObjectPath("A").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(creator.AddEveryoneAccess(), 0);
    ASSERT_EQ(::stat(platform::IpcObjectPath("A").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666u);
    ASSERT_EQ(reader.Open("A", 0x20000), 0);
    ASSERT_EQ(reader.Map(), 0);
    std::memcpy(creator.Data() + 0x1FFF0, "both", 4);
    EXPECT_EQ(std::memcmp(reader.Data() + 0x1FFF0, "both", 4), 0);
    creator.Close(true);
    platform::NamedSharedMemory late;
    EXPECT_EQ(late.Open("A", 0x20000), platform::kErrorFileNotFound);
}

}  // namespace
