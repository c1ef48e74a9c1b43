#pragma once
// The program's start-up steps up to the main window, run in the test process beside a service
// that a test started: its log and models, the attach to the channel and the settings it serves.

#include "app/recognition/face_models.h"
#include "app/shell/program_objects.h"
#include "platform/log.h"
#include "settings/load_settings.h"
#include "settings/settings_hub.h"
#include "settings/svc_channel.h"
#include "tests/integration/program/program_environment.h"

#include <gtest/gtest.h>

#include <QTest>

#include <memory>

// Attaches `objects` to the service (waiting up to 15 s for it to make its objects) and loads
// the settings into a new hub, as start-up does before it creates the main window.
inline void AttachToService(shell::ProgramObjects& objects, std::unique_ptr<settings::SettingsHub>& hub) {
    int attached = settings::kServiceNotReady;
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return (attached = objects.InitSyncObjects()) != settings::kServiceNotReady; }, 15000));
    ASSERT_EQ(attached, settings::kAttached);
    settings::SetProgramChannel(&objects.Channel());
    hub = std::make_unique<settings::SettingsHub>(settings::LoadSettingsFromRegistry());
}

// The program's log in the environment's temporary folder and the face models of `dataDir`, as
// start-up makes them before the main window.
inline void PrepareProgramLogAndModels(const ProgramEnvironment& env, const QString& dataDir,
                                       std::unique_ptr<recognition::FaceModels>& models) {
    platform::SetLogFile(env.LogPath(), env.dir.filePath("tmp/Ostrovid1.log"));
    QString error;
    models = recognition::FaceModels::Load(dataDir, error);
    ASSERT_TRUE(models) << error.toStdString();
}
