#pragma once
// Private folders, store and object namespace for the program and the service of one test,
// set in this process's environment so that children inherit them.

#include "tests/support/ipc_namespace.h"
#include "tests/support/log_lines.h"

#include <QDir>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

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
