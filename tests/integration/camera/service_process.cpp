#include "tests/integration/camera/service_process.h"

#include "platform/paths.h"
#include "tests/support/ipc_namespace.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <chrono>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace camera_test {

bool ServiceProcess::Start() {
#ifndef OSTROVID_SVC_BINARY
    return false;
#else
    testsupport::EnsureChannelGroup();
    const std::string ns = "tcam" + std::to_string(getpid()) + ".";
    qputenv("OSTROVID_IPC_NAMESPACE", QByteArray::fromStdString(ns));
    // This process plays the program: the service resets only connections the program holds.
    qputenv("OSTROVID_PROGRAM_PATH", platform::ProgramFilePath().toUtf8());
    qputenv("OSTROVID_REGISTRY", dir_.filePath("registry.reg").toUtf8());
    qputenv("OSTROVID_COMMON_APPDATA", dir_.path().toUtf8());
    qputenv("OSTROVID_SYSLOG_SOCKET", dir_.filePath("syslog.sock").toUtf8());
    qputenv("OSTROVID_SVC_LOG_DIR", dir_.filePath("svclog").toUtf8());
    std::string binary = OSTROVID_SVC_BINARY;
    std::string debug = "-debug";
    char* argv[] = {binary.data(), debug.data(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, binary.c_str(), nullptr, nullptr, argv, environ) != 0) {
        return false;
    }
    pid_ = pid;
    channel_ = std::make_unique<settings::SvcChannel>(&term_);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < until) {
        const int state = channel_->InitSyncObjects();
        if (state == settings::kAttached) {
            settings::SetProgramChannel(channel_.get());
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
#endif
}

void ServiceProcess::Stop() {
    if (channel_) {
        settings::SetProgramChannel(nullptr);
        channel_->Close();
        channel_.reset();
    }
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
}

}  // namespace camera_test
