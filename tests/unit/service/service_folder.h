#pragma once
// A test's own temporary folder for the service's store and its diagnostic log, which the
// service's log is pointed at for the test. Test thread only.

#include "platform/log.h"
#include "tests/support/log_lines.h"

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace testsupport {

class ServiceFolder : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        storePath = dir.filePath("registry.reg");
        logPath = dir.filePath("OstrovidSvc.log");
        platform::SetLogFile(logPath, dir.filePath("OstrovidSvc1.log"));
    }

    QStringList Log() const { return LogLines(logPath); }

    QTemporaryDir dir;
    QString storePath, logPath;
};

}  // namespace testsupport
