#pragma once
// The program's start-up steps up to the main window, run in the test process beside a service
// that a test started: attach to its channel and load the settings it serves.

#include "app/shell/program_objects.h"
#include "settings/load_settings.h"
#include "settings/svc_channel.h"

#include <gtest/gtest.h>

#include <QTest>

// Attaches `objects` to the service (waiting up to 15 s for it to make its objects) and loads
// the settings, as start-up does before it creates the main window.
inline void AttachToService(shell::ProgramObjects& objects) {
    int attached = settings::kServiceNotReady;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (attached = objects.InitSyncObjects()) != settings::kServiceNotReady; },
                                15000));
    ASSERT_EQ(attached, settings::kAttached);
    settings::SetProgramChannel(&objects.Channel());
    settings::LoadSettingsFromRegistry();
}
