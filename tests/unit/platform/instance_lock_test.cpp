#include "platform/instance_lock.h"
#include "platform/syserror.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <QTemporaryDir>

#include <cstdlib>

namespace {

// What Acquire returns in a separate process, as its exit status.
int AcquireInChild(const std::string& name) {
    const pid_t pid = fork();
    if (pid == 0) {
        platform::InstanceLock lock;
        _exit(lock.Acquire(name) == platform::kErrorAlreadyExists ? 1 : lock.Held() ? 0 : 2);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(InstanceLock, ASecondProcessIsRefusedUntilTheFirstLetsGoOrDies) {
    QTemporaryDir dir;
    ::setenv("XDG_RUNTIME_DIR", dir.path().toLocal8Bit().constData(), 1);
    ::setenv("OSTROVID_IPC_NAMESPACE", "t-lock.", 1);
    const std::string name = "NO_DUP_TEST_MUTEX";
    EXPECT_EQ(platform::InstanceLock::PathFor(name), dir.path().toStdString() + "/t-lock.NO_DUP_TEST_MUTEX");

    {
        platform::InstanceLock lock;
        ASSERT_EQ(lock.Acquire(name), 0);
        EXPECT_EQ(lock.Acquire(name), 0);
        EXPECT_EQ(AcquireInChild(name), 1);
        lock.Release();
        EXPECT_EQ(AcquireInChild(name), 0);
    }

    // A holder that dies frees the guard without any clean-up of its own.
    const pid_t holder = fork();
    if (holder == 0) {
        platform::InstanceLock lock;
        lock.Acquire(name);
        ::kill(getpid(), SIGKILL);
    }
    waitpid(holder, nullptr, 0);
    platform::InstanceLock lock;
    EXPECT_EQ(lock.Acquire(name), 0);
    ::unsetenv("OSTROVID_IPC_NAMESPACE");
}

}  // namespace
