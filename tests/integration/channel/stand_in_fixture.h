#pragma once
// A test of the program's end of the channel against a stand-in service process: a fresh
// namespace of named objects, a log folder, the program's channel attached once the stand-in says
// "ready", and all of it gone again after the test.
// Threads: the test's thread. Owns: the channel, the stand-in process and the folder.

#include "platform/log.h"
#include "settings/svc_channel.h"
#include "tests/integration/service/child_process.h"
#include "tests/support/ipc_namespace.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <csignal>
#include <string>
#include <vector>

namespace testsupport {

class StandInServiceTest : public ::testing::Test {
protected:
    // `prefix` names the namespace, so that a leftover object tells which test made it.
    void Prepare(const char* prefix) {
        ns = UseFreshIpcNamespace(prefix);
        ASSERT_TRUE(dir.isValid());
        platform::SetLogFile(dir.filePath("Ostrovid.log"), dir.filePath("Ostrovid1.log"));
    }
    // Starts the stand-in with `argv`; returns once the program's channel is attached to it.
    void Attach(const std::vector<std::string>& argv) {
        ASSERT_TRUE(service.Start(argv));
        std::string line;
        ASSERT_TRUE(service.ReadLine(&line, 5000));
        ASSERT_EQ(line, "ready");
        ASSERT_EQ(channel.InitSyncObjects(), settings::kAttached);
        settings::SetProgramChannel(&channel);
    }
    void TearDown() override {
        settings::SetProgramChannel(nullptr);
        channel.Close();
        if (service.Running()) {
            service.CloseInput();
            if (service.Wait(5000) == -1) {
                service.Signal(SIGKILL);
                service.Wait(5000);
            }
        }
        platform::SetLogFile(QString(), QString());
        RemoveIpcObjects(ns);
    }

    std::string ns;
    QTemporaryDir dir;
    platform::Event term{true, false};
    settings::SvcChannel channel{&term};
    ChildProcess service;
};

}  // namespace testsupport
