// The whole program in this process beside the real service. The service is killed while the
// window's thread waits in a save for its reply (a window setting, or the groups the settings
// sheet applies): the save gives up, the service watchdog closes the window and the program
// stops in order, all within 15 seconds of the kill.

#include "app/actions/alert_devices.h"
#include "app/program_window.h"
#include "app/recognition/face_models.h"
#include "app/ui/frame_commands.h"
#include "app/ui/settings_sheet.h"
#include "platform/log.h"
#include "settings/load_settings.h"
#include "tests/integration/program/in_process_program.h"
#include "tests/integration/program/program_environment.h"
#include "tests/integration/service/child_process.h"
#include "tests/support/widget_driver.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <sys/wait.h>

#include <chrono>
#include <csignal>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class ServiceLoss : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(PrepareProgramLogAndModels(env, QStringLiteral(OSTROVID_DATA_DIR), models));
    }
    void TearDown() override {
        if (HasFailure())
            for (const QString& line : env.Log()) std::fprintf(stderr, "log: %s\n", qUtf8Printable(line));
        if (service.Running()) {
            service.Signal(SIGKILL);
            service.Wait(5000);
        }
        platform::SetLogFile(QString(), QString());
    }

    // The program's window beside the attached service, shown, with its service watchdog running.
    struct RunningProgram {
        RunningProgram(shell::ProgramObjects& objects, recognition::FaceModels& models, settings::SettingsHub& hub)
            : program(objects, models, hub, {&alerts, &alerts.Voices()}) {}
        actions::AlertDevices alerts;
        app::ProgramWindow program;
    };
    std::unique_ptr<RunningProgram> ShowProgram(shell::ProgramObjects& objects) {
        auto running = std::make_unique<RunningProgram>(objects, *models, *hub);
        if (!running->program.Create()) return nullptr;
        running->program.Frame().show();
        if (!env.LogShows(QStringLiteral("SvcLiveThreadFunc(): Thread started."), 10s)) return nullptr;
        return running;
    }

    ProgramEnvironment env;
    std::unique_ptr<recognition::FaceModels> models;
    std::unique_ptr<settings::SettingsHub> hub;
    testsupport::ChildProcess service;
};

TEST_F(ServiceLoss, AServiceKilledDuringASaveStopsTheProgramInOrder) {
    ASSERT_TRUE(service.Start({OSTROVID_SVC_BINARY, "-debug"}, -1, env.Path("svc.out")));
    shell::ProgramObjects objects;
    ASSERT_NO_FATAL_FAILURE(AttachToService(objects, hub));
    {
        const std::unique_ptr<RunningProgram> running = ShowProgram(objects);
        ASSERT_TRUE(running);
        ui::MainFrame& frame = running->program.Frame();

        // A stopped service holds its mutex but reads no packet: the save below waits for a
        // reply until the service is killed.
        ASSERT_TRUE(service.Signal(SIGSTOP));
        Clock::time_point killed;
        std::thread killer([&] {
            std::this_thread::sleep_for(1s);
            killed = Clock::now();
            service.Signal(SIGKILL);
        });
        frame.Action(ui::kCmdFramedFace)->trigger();  // toggles FramedFace and saves it
        const Clock::time_point saveEnded = Clock::now();
        killer.join();
        EXPECT_LT(saveEnded - killed, 2s);
        EXPECT_TRUE(
            env.Log().contains(QStringLiteral("SaveCameraViewFeatures(): Unknown error on WaitForMultipleObjects.")));

        // The watchdog's close request reaches the window, whose thread is free again.
        EXPECT_TRUE(QTest::qWaitFor([&] { return env.Log().contains(QStringLiteral("Destroy Exit.")); }, 15000));
        EXPECT_LT(Clock::now() - killed, 15s);
        QStringList order = {
            QStringLiteral("SvcLiveThreadFunc(): Unknown error on WaitForMultipleObjects. Breaking application..."),
            QStringLiteral("SvcLiveThreadFunc(): Thread exit.")};
        order.append(StopSequenceLines());
        ExpectLinesInOrder(env.Log(), order);
    }
    settings::SetProgramChannel(nullptr);
    objects.Close();
    EXPECT_TRUE(WIFSIGNALED(service.Wait(5000)));
}

// The sheet's OK while the service stops answering: the first save gives up when the service is
// killed, the next finds it gone, none is reported saved, and the program stops in order.
TEST_F(ServiceLoss, AServiceKilledWhileTheSheetAppliesSavesNothingAndStopsTheProgram) {
    ASSERT_TRUE(service.Start({OSTROVID_SVC_BINARY, "-debug"}, -1, env.Path("svc.out")));
    shell::ProgramObjects objects;
    ASSERT_NO_FATAL_FAILURE(AttachToService(objects, hub));
    {
        const std::unique_ptr<RunningProgram> running = ShowProgram(objects);
        ASSERT_TRUE(running);
        ui::MainFrame& frame = running->program.Frame();

        std::thread killer;
        testsupport::WhenModal<ui::SettingsSheet>([&](ui::SettingsSheet& sheet) {
            testsupport::TypeInto(testsupport::Child<QLineEdit>(sheet, "SMTPServer"),
                                  QStringLiteral("smtp.example.org"));
            testsupport::TypeInto(testsupport::Child<QLineEdit>(sheet, "WaitConnectionTime"), QStringLiteral("90"));
            ASSERT_TRUE(service.Signal(SIGSTOP));
            killer = std::thread([&] {
                std::this_thread::sleep_for(1s);
                service.Signal(SIGKILL);
            });
            testsupport::Child<QPushButton>(sheet, "ok")->click();
        });
        frame.OnCommand(ui::kCmdSettings);
        if (killer.joinable()) killer.join();

        EXPECT_TRUE(QTest::qWaitFor([&] { return env.Log().contains(QStringLiteral("Destroy Exit.")); }, 15000));
        const QStringList log = env.Log();
        ExpectLinesInOrder(log, {QStringLiteral("SaveSmtpSettings(): Unknown error on WaitForMultipleObjects."),
                                 QStringLiteral("SaveCamerasExtParam(): Unknown error on WaitForMultipleObjects.")});
        EXPECT_FALSE(log.contains(QStringLiteral("SmtpSettings saved to registry.")));
        EXPECT_FALSE(log.contains(QStringLiteral("CamerasExtParam saved to registry.")));
        ExpectLinesInOrder(log, StopSequenceLines());
    }
    settings::SetProgramChannel(nullptr);
    objects.Close();
    EXPECT_TRUE(WIFSIGNALED(service.Wait(5000)));
}

}  // namespace
