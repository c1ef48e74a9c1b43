// Named objects between processes: ownership, abandonment and recursion of mutexes, auto-reset
// events seen through several handles, the shared area; the group ostrovid as the only way in,
// and names planted by others.

#include "platform/ipc.h"
#include "platform/log.h"
#include "platform/syserror.h"
#include "tests/support/ipc_namespace.h"
#include "tests/support/log_lines.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <functional>
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

TEST_F(Ipc, TheAreaIsOpenedOnlyOnceItExistsAndSharedThroughBothHandles) {
    platform::NamedSharedMemory reader, creator;
    EXPECT_EQ(reader.Open("A", 0x20000), platform::kErrorFileNotFound);
    ASSERT_EQ(creator.Create("A", 0x1000), 0);
    // Shorter than the reader expects: refused rather than faulting later.
    EXPECT_NE(reader.Open("A", 0x20000), 0);
    ASSERT_EQ(creator.Create("A", 0x20000), 0);
    ASSERT_EQ(creator.Map(), 0);
    ASSERT_EQ(reader.Open("A", 0x20000), 0);
    ASSERT_EQ(reader.Map(), 0);
    std::memcpy(creator.Data() + 0x1FFF0, "both", 4);
    EXPECT_EQ(std::memcmp(reader.Data() + 0x1FFF0, "both", 4), 0);
    creator.Close(true);
    platform::NamedSharedMemory late;
    EXPECT_EQ(late.Open("A", 0x20000), platform::kErrorFileNotFound);
}

TEST_F(Ipc, ReadingThroughTheDescriptorSurvivesAnAreaResizedByAnotherProcess) {
    platform::NamedSharedMemory area;
    ASSERT_EQ(area.Create("A", 0x20000), 0);
    ASSERT_EQ(area.Write(0x1FFFC, "tail", 4), 0);
    EXPECT_EQ(area.Write(0x1FFFD, "tail", 4), platform::kErrorInvalidParameter);
    char bytes[4] = {};
    ASSERT_EQ(area.Read(0x1FFFC, bytes, 4), 0);
    EXPECT_EQ(std::memcmp(bytes, "tail", 4), 0);
    const int other = ::open(platform::IpcObjectPath("A").c_str(), O_RDWR);
    ASSERT_GE(other, 0);
    for (const off_t size : {off_t(10), off_t(0), off_t(0x30000)}) {
        SCOPED_TRACE(size);
        ASSERT_EQ(::ftruncate(other, size), 0);
        EXPECT_EQ(area.Read(0, bytes, 4), platform::kErrorInvalidData);
        ASSERT_EQ(area.RestoreSize(), 0);
        EXPECT_EQ(area.Read(0x1FFFC, bytes, 4), 0);
        struct stat st {};
        ASSERT_EQ(::fstat(other, &st), 0);
        EXPECT_EQ(st.st_size, 0x20000);
    }
    ::close(other);
}

// The group boundary needs real accounts: the tests switch a child process to nobody.
class IpcAccounts : public Ipc {
protected:
    void SetUp() override {
        Ipc::SetUp();
        if (geteuid() != 0) GTEST_SKIP() << "switching to another account needs root";
        ASSERT_EQ(platform::ChannelGroupId(&group), 0);
        ASSERT_TRUE(logDir.isValid());
        ::chmod(logDir.path().toLocal8Bit().constData(), 0777);
    }

    // Runs body in a child switched to nobody:nogroup, a member of ostrovid or of no group at all;
    // the child's exit code (its log goes to child.log).
    int AsNobody(bool member, const std::function<int()>& body) {
        const pid_t pid = fork();
        if (pid == 0) {
            const gid_t groups[] = {group};
            if (setgroups(member ? 1 : 0, groups) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(99);
            platform::SetLogFile(logDir.filePath("child.log"), logDir.filePath("child1.log"));
            _exit(body());
        }
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
    }

    static struct stat Lstat(const std::string& path) {
        struct stat st {};
        EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
        return st;
    }

    void ExpectChannelObject(const char* name, bool fifo) {
        const struct stat st = Lstat(platform::IpcObjectPath(name));
        EXPECT_EQ(fifo ? S_ISFIFO(st.st_mode) : S_ISREG(st.st_mode), true) << name;
        EXPECT_EQ(st.st_gid, group) << name;
        EXPECT_EQ(st.st_mode & 07777, 0660u) << name;
    }

    // Creates the three kinds under the names A, E and M; 0 when all three succeed, else the
    // first error.
    static int CreateAll(bool* anyCreated) {
        platform::NamedSharedMemory area;
        platform::NamedEvent event;
        NamedMutex mutex;
        for (const int rc : {area.Create("A", 4096), event.Create("E"), mutex.Create("M")})
            if (rc != 0) return rc;
        *anyCreated = area.WasCreated() || event.WasCreated() || mutex.WasCreated();
        return 0;
    }

    gid_t group = 0;
    QTemporaryDir logDir;
};

TEST_F(IpcAccounts, ObjectsBelongToTheGroupAndOnlyMembersOpenThem) {
    bool created = false;
    ASSERT_EQ(CreateAll(&created), 0);
    EXPECT_TRUE(created);
    ExpectChannelObject("A", false);
    ExpectChannelObject("E", true);
    ExpectChannelObject("M", false);

    EXPECT_EQ(
        AsNobody(false,
                 [] {
                     for (const char* name : {"A", "E", "M"})
                         if (::open(platform::IpcObjectPath(name).c_str(), O_RDWR | O_NONBLOCK) >= 0 || errno != EACCES)
                             return 1;
                     bool any = false;
                     return CreateAll(&any) == platform::kErrorAccessDenied ? 0 : 2;
                 }),
        0);
    EXPECT_EQ(AsNobody(true,
                       [] {
                           bool any = true;
                           return CreateAll(&any) != 0 ? 1 : any ? 2 : 0;
                       }),
              0);

    // An object a member made first is used as it is by everyone else.
    EXPECT_EQ(AsNobody(true,
                       [] {
                           NamedMutex mutex;
                           return mutex.Create("N") == 0 && mutex.WasCreated() ? 0 : 1;
                       }),
              0);
    const struct stat made = Lstat(platform::IpcObjectPath("N"));
    EXPECT_EQ(made.st_uid, 65534u);
    ExpectChannelObject("N", false);
    NamedMutex mutex;
    ASSERT_EQ(mutex.Create("N"), 0);
    EXPECT_FALSE(mutex.WasCreated());
    EXPECT_EQ(Lstat(platform::IpcObjectPath("N")).st_ino, made.st_ino);
}

TEST_F(IpcAccounts, NamesPlantedByOthersAreReplacedAndLinksNeverFollowed) {
    QTemporaryDir victims;
    const std::string victim = victims.filePath("victim").toStdString();
    {
        const int fd = ::open(victim.c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_EQ(::write(fd, "keep", 4), 4);
        ::close(fd);
    }
    const QString log = logDir.filePath("root.log");
    platform::SetLogFile(log, logDir.filePath("root1.log"));
    auto plantFile = [&](const char* name, uid_t uid, gid_t gid, mode_t mode) {
        const std::string path = platform::IpcObjectPath(name);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        ASSERT_GE(fd, 0) << path;
        ASSERT_EQ(::fchown(fd, uid, gid), 0);
        ASSERT_EQ(::fchmod(fd, mode), 0);
        ::close(fd);
    };
    ASSERT_EQ(::symlink(victim.c_str(), platform::IpcObjectPath("A").c_str()), 0);  // a link to another file
    plantFile("M", 65534, 65534, 0666);                                             // a foreign owner and group
    plantFile("E", 0, group, 0660);                                                 // a file where a FIFO belongs
    plantFile("W", 65534, group, 0666);                                             // wider than the group
    ASSERT_EQ(::mkfifo(platform::IpcObjectPath("F").c_str(), 0660), 0);             // a FIFO where a file belongs
    ASSERT_EQ(::chown(platform::IpcObjectPath("F").c_str(), 0, group), 0);

    platform::NamedSharedMemory area;
    platform::NamedEvent event;
    NamedMutex m, w, f;
    ASSERT_EQ(area.Create("A", 0x20000), 0);
    ASSERT_EQ(event.Create("E"), 0);
    ASSERT_EQ(m.Create("M"), 0);
    ASSERT_EQ(w.Create("W"), 0);
    ASSERT_EQ(f.Create("F"), 0);
    for (const bool created : {area.WasCreated(), event.WasCreated(), m.WasCreated(), w.WasCreated(), f.WasCreated()})
        EXPECT_TRUE(created);
    ExpectChannelObject("A", false);
    ExpectChannelObject("E", true);
    for (const char* name : {"M", "W", "F"}) ExpectChannelObject(name, false);
    EXPECT_EQ(m.Lock(1000), NamedMutex::LockResult::Acquired);
    ASSERT_EQ(area.Write(0, "over", 4), 0);
    const struct stat kept = Lstat(victim);
    EXPECT_EQ(kept.st_size, 4);
    char bytes[4] = {};
    const int fd = ::open(victim.c_str(), O_RDONLY);
    EXPECT_EQ(::read(fd, bytes, 4), 4);
    ::close(fd);
    EXPECT_EQ(std::memcmp(bytes, "keep", 4), 0);
    EXPECT_TRUE(testsupport::LogLines(log).contains(
        QStringLiteral("Warning. %1 was not a channel object of the group ostrovid; it is made anew.")
            .arg(QString::fromStdString(platform::IpcObjectPath("M")))));
    m.Release();
}

TEST_F(IpcAccounts, AMemberThatMayNotRemoveAForeignNameFailsWithALogLine) {
    // Root's files in the sticky /dev/shm: a member can neither use nor remove them.
    ASSERT_EQ(::symlink("/etc/passwd", platform::IpcObjectPath("L").c_str()), 0);
    const int fd = ::open(platform::IpcObjectPath("R").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_EQ(AsNobody(true,
                       [] {
                           NamedMutex link, file;
                           platform::NamedSharedMemory area;
                           return link.Create("L") == platform::kErrorAccessDenied &&
                                          file.Create("R") == platform::kErrorAccessDenied &&
                                          area.Open("R", 0) == platform::kErrorFileNotFound
                                      ? 0
                                      : 1;
                       }),
              0);
    EXPECT_EQ(Lstat(platform::IpcObjectPath("R")).st_uid, 0u);
    EXPECT_TRUE(S_ISLNK(Lstat(platform::IpcObjectPath("L")).st_mode));
    const QStringList log = testsupport::LogLines(logDir.filePath("child.log"));
    EXPECT_TRUE(
        log.contains(QStringLiteral("Error. %1 is not a channel object of the group ostrovid and cannot be removed: "
                                    "Отказано в доступе. (5)")
                         .arg(QString::fromStdString(platform::IpcObjectPath("R")))))
        << log.join('\n').toStdString();
}

}  // namespace
