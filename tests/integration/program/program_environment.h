#pragma once
// Private folders, store and object namespace for the program and the service of one test,
// set in this process's environment so that children inherit them.

#include "tests/integration/service/child_process.h"
#include "tests/support/ipc_namespace.h"
#include "tests/support/log_lines.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QStringList>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <thread>

// The lines the stop sequence logs, in their order, for a program without the optional servers.
inline QStringList StopSequenceLines() {
    return {QStringLiteral("Destroy Enter."),
            QStringLiteral("Destroy: Wait until SvcLiveThread works..."),
            QStringLiteral("Destroy: SvcLiveThread completed."),
            QStringLiteral("Destroy: Wait until HangupDetectionThread works..."),
            QStringLiteral("Destroy: HangupDetectionThread completed."),
            QStringLiteral("Destroy: Wait until DbCheckThread works..."),
            QStringLiteral("Destroy: DbCheckThread completed."),
            QStringLiteral("Destroy: Wait until ActionQueueThread works..."),
            QStringLiteral("Destroy: ActionQueueThread completed."),
            QStringLiteral("Destroy: Wait until Prediction Threads works..."),
            QStringLiteral("Destroy: All Prediction Threads completed."),
            QStringLiteral("Call ClearActionQueue()"),
            QStringLiteral("After ClearActionQueue()"),
            QStringLiteral("Destroy Exit.")};
}

// Expects each of `lines` in `log` after the one before it, the first after position `from`.
inline void ExpectLinesInOrder(const QStringList& log, const QStringList& lines, qsizetype from = -1) {
    qsizetype at = from;
    for (const QString& line : lines) {
        const qsizetype next = log.indexOf(line, at + 1);
        EXPECT_GT(next, at) << line.toStdString();
        at = std::max(at, next);
    }
}

// Stops the children still running, in the order given: the stop signal, then a kill after 20 s.
inline void StopChildren(std::initializer_list<testsupport::ChildProcess*> children) {
    for (testsupport::ChildProcess* child : children) {
        if (!child->Running()) continue;
        child->Signal(SIGTERM);
        if (child->Wait(20000) == -1) child->Signal(SIGKILL);
    }
}

class ProgramEnvironment {
public:
    ProgramEnvironment() {
        ns = testsupport::UseFreshIpcNamespace("tprog");
        for (const char* sub : {"store", "autostart", "tmp", "runtime", "data/Vektra/Ostrovid"})
            QDir().mkpath(dir.filePath(sub));
        ::chmod(Path("runtime").c_str(), 0700);
        ::setenv("OSTROVID_REGISTRY", Path("store/registry.reg").c_str(), 1);
        ::setenv("OSTROVID_COMMON_APPDATA", Path("data").c_str(), 1);
        ::setenv("OSTROVID_AUTOSTART_DIR", Path("autostart").c_str(), 1);
        ::setenv("OSTROVID_SYSLOG_SOCKET", Path("syslog").c_str(), 1);
        ::setenv("OSTROVID_SVC_LOG_DIR", Path("svclog").c_str(), 1);
        ::setenv("TMPDIR", Path("tmp").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", Path("runtime").c_str(), 1);
    }
    ~ProgramEnvironment() { testsupport::RemoveIpcObjects(ns); }

    std::string Path(const char* sub) const { return dir.filePath(sub).toStdString(); }
    QString StorePath() const { return dir.filePath("store/registry.reg"); }
    QString LogPath() const { return dir.filePath("tmp/Ostrovid.log"); }
    QStringList Log() const { return testsupport::LogLines(LogPath()); }

    // Waits until the program's log holds `text`.
    bool LogShows(const QString& text, std::chrono::milliseconds limit) const {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < deadline) {
            if (Log().contains(text)) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    QTemporaryDir dir;
    std::string ns;
};
