// The whole program in this process beside the real service, changed through its settings sheet
// the way an operator does it: an IP camera added in the camera dialog, the management password
// changed while a station is connected, and the database switched to another file.

#include "app/ui/camera_panel.h"
#include "app/ui/camera_wizard.h"
#include "app/ui/frame_commands.h"
#include "app/ui/management_password_dialog.h"
#include "app/ui/settings_sheet.h"
#include "app/ui/status_parts.h"
#include "platform/fixedtext.h"
#include "tests/integration/program/end_to_end_fixture.h"
#include "tests/integration/program/management_station.h"
#include "tests/integration/program/silent_alerts.h"
#include "tests/integration/program/switchable_camera.h"
#include "tests/support/widget_driver.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>

namespace {

using namespace endtoend;
using namespace std::chrono_literals;
using testsupport::Child;
using testsupport::TypeInto;
using testsupport::WhenModal;

const QString kNewPassword = QStringLiteral("новый-7");

// Opens the sheet on `page`, lets `change` work on it and presses OK.
void ChangeSettings(ui::MainFrame& frame, int page, std::function<void(ui::SettingsSheet&)> change) {
    WhenModal<ui::SettingsSheet>([page, change = std::move(change)](ui::SettingsSheet& sheet) {
        sheet.Pages()->setCurrentIndex(page);
        change(sheet);
        Child<QPushButton>(sheet, "ok")->click();
    });
    frame.OnCommand(ui::kCmdSettings);
}

int CountLines(const QStringList& log, const QString& line) { return int(log.count(line)); }

// The enrolled face under another person (a new number and name) in its own database.
void RenumberPerson(const QString& file) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("second"));
    db.setDatabaseName(file);
    ASSERT_TRUE(db.open());
    QSqlQuery query(db);
    ASSERT_TRUE(
        query.exec(QStringLiteral("INSERT INTO PERSONS (STATE, LIST_NUM, SURNAME, FORENAME, Gender) "
                                  "VALUES (1, 0, 'Петров', 'Иван', 1)")));
    ASSERT_TRUE(query.exec(QStringLiteral("UPDATE SAMPLES SET PERSON_ID = 2 WHERE PERSON_ID = 1")));
    ASSERT_TRUE(query.exec(QStringLiteral("DELETE FROM PERSONS WHERE PERSON_ID = 1")));
    query.finish();
    db.close();
}

class SettingsEndToEnd : public ProgramFixture {};

TEST_F(SettingsEndToEnd, AddedCameraNewPasswordAndAnotherDatabaseTakeEffectWithoutARestart) {
    const QString dbFile = env.dir.filePath("data/Vektra/Ostrovid/Ostrovid.db");
    const QString secondDb = env.dir.filePath("data/Vektra/Ostrovid/Second.db");
    ASSERT_NO_FATAL_FAILURE(EnrollPerson(dbFile));
    QSqlDatabase::removeDatabase(QStringLiteral("enrol"));
    ASSERT_NO_FATAL_FAILURE(EnrollPerson(secondDb));
    ASSERT_NO_FATAL_FAILURE(RenumberPerson(secondDb));
    testsupport::SwitchableCamera camera;
    ASSERT_TRUE(camera.Listening());
    camera.Show(photo);
    const uint16_t tcpPort = mgmt_test::FreeSettingsPort(SOCK_STREAM);
    const uint16_t udpPort = mgmt_test::FreeSettingsPort(SOCK_DGRAM);
    {
        platform::RegistryStore store(env.StorePath());
        ASSERT_NO_FATAL_FAILURE(WriteSettings(store, dbFile, camera.Url()));
        mgmt_test::WriteManagementSettings(store, tcpPort, udpPort);
        ASSERT_EQ(store.Save(), 0);
    }

    shell::ProgramObjects objects;
    ASSERT_NO_FATAL_FAILURE(StartServiceAndAttach(objects));
    {
        testsupport::SilentAlerts alerts;
        app::ProgramWindow program(objects, *models, *hub, {&alerts, nullptr, nullptr});
        ASSERT_TRUE(program.Create());
        ui::MainFrame& frame = program.Frame();
        frame.show();
        auto logShows = [&](const QString& line, int limitMs = 20000) {
            return QTest::qWaitFor([&] { return env.Log().contains(line); }, limitMs);
        };
        ASSERT_TRUE(logShows(mgmt_test::ListeningLine(tcpPort)));
        ASSERT_TRUE(QTest::qWaitFor([&] { return HasRecognitionRow(frame, QStringLiteral("Иванов Пётр")); },
                                    kRecognitionLimitMs));
        const QString firstStart = QStringLiteral("Параметры камеры: (Вход) IP-камера, ") + camera.Url();
        EXPECT_EQ(CountLines(env.Log(), firstStart), 1);

        // An IP camera added in the second slot through the camera dialog.
        ChangeSettings(frame, 1, [&](ui::SettingsSheet& sheet) {
            auto& list = *Child<QTreeWidget>(sheet, "CameraList");
            list.setCurrentItem(list.topLevelItem(1));
            WhenModal<ui::CameraWizard>([&](ui::CameraWizard& wizard) {
                TypeInto(Child<QLineEdit>(wizard, "Name"), QStringLiteral("Склад"));
                Child<QComboBox>(wizard, "Type")->setCurrentIndex(1);
                Child<QPushButton>(wizard, "next")->click();
                TypeInto(Child<QLineEdit>(wizard, "Url"), camera.Url());
                Child<QPushButton>(wizard, "finish")->click();
            });
            Child<QPushButton>(sheet, "edit")->click();
        });
        {
            // What the service wrote, read back as the program reads it at start.
            platform::RegistryStore written(env.StorePath());
            ASSERT_EQ(written.Load(), 0);
            settings::SettingsState stored;
            settings::LoadSettingsFromStore(written, stored);
            ASSERT_EQ(stored.cameraList.Count, 2u);
            const settings::CameraDescriptor& added = stored.cameraList.Cameras[1];
            EXPECT_EQ(platform::FromFixed(added.Name), QStringLiteral("Склад"));
            EXPECT_EQ(platform::FromFixed(added.Source.Url), camera.Url());
            EXPECT_EQ(added.Type, 1);
        }
        // The running camera's list changed: it is selected and started again under its name.
        EXPECT_TRUE(QTest::qWaitFor([&] { return CountLines(env.Log(), firstStart) == 2; }, 10000));
        frame.ChooseCamera(1);
        EXPECT_TRUE(logShows(QStringLiteral("Параметры камеры: (Склад) IP-камера, ") + camera.Url()));
        const qsizetype opened = env.Log().lastIndexOf(QStringLiteral("WorkCamThreadFunc: Камера открыта. OK."));
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return env.Log().lastIndexOf(QStringLiteral("WorkCamThreadFunc: Камера открыта. OK.")) > opened; },
            20000));
        EXPECT_EQ(frame.CameraPanel()->Title()->text(), QStringLiteral("Склад"));

        // A new password: only the TCP server restarts, the connected station is dropped and
        // comes back with the new password.
        auto station = std::make_unique<mgmt_test::RecordingStation>(tcpPort);
        ASSERT_TRUE(station->Connected());
        ASSERT_TRUE(station->Send(mgmt_test::kSubscribe, mgmt_test::Subscription(mgmt_test::kPassword, "1", "1", 1)));
        ASSERT_TRUE(station->WaitFor(mgmt_test::kSubscribeReply));
        const ui::StatusParts& status = *frame.CameraPanel()->Status();
        ASSERT_TRUE(QTest::qWaitFor([&] { return status.Text(2) == QStringLiteral("1"); }, 5000));
        const qsizetype beforePassword = env.Log().size();
        ChangeSettings(frame, 6, [&](ui::SettingsSheet& sheet) {
            WhenModal<ui::ManagementPasswordDialog>([&](ui::ManagementPasswordDialog& dialog) {
                TypeInto(Child<QLineEdit>(dialog, "password"), kNewPassword);
                TypeInto(Child<QLineEdit>(dialog, "passwordAgain"), kNewPassword);
                Child<QPushButton>(dialog, "ok")->click();
            });
            Child<QPushButton>(sheet, "Password")->click();
        });
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return env.Log().mid(beforePassword).contains(mgmt_test::ListeningLine(tcpPort)); }, 10000));
        const QStringList afterPassword = env.Log().mid(beforePassword);
        ExpectLinesInOrder(afterPassword,
                           {QStringLiteral("ApplyPS: Wait until TcpServerThread works..."),
                            QStringLiteral("ApplyPS: TcpServerThread completed."), mgmt_test::ListeningLine(tcpPort)});
        EXPECT_FALSE(afterPassword.contains(QStringLiteral("ApplyPS: Wait until UdpServerThread works...")));
        EXPECT_FALSE(afterPassword.join('\n').contains(kNewPassword));
        EXPECT_TRUE(QTest::qWaitFor([&] { return status.Text(2) == QStringLiteral("0"); }, 5000))
            << status.Text(2).toStdString();
        station.reset();
        mgmt_test::RecordingStation old(tcpPort);
        ASSERT_TRUE(old.Connected());
        ASSERT_TRUE(old.Send(mgmt_test::kSubscribe, mgmt_test::Subscription(mgmt_test::kPassword, "1", "1", 1)));
        const std::optional<mgmt_test::Received> refused = old.WaitFor(mgmt_test::kSubscribeReply);
        ASSERT_TRUE(refused);
        EXPECT_NE(mgmt_test::Child(mgmt_test::Root(refused->packet), "ErrorCode"), QString());
        mgmt_test::RecordingStation renewed(tcpPort);
        ASSERT_TRUE(renewed.Connected());
        ASSERT_TRUE(renewed.Send(mgmt_test::kSubscribe, mgmt_test::Subscription(kNewPassword, "1", "1", 1)));
        const std::optional<mgmt_test::Received> accepted = renewed.WaitFor(mgmt_test::kSubscribeReply);
        ASSERT_TRUE(accepted);
        EXPECT_EQ(mgmt_test::Child(mgmt_test::Root(accepted->packet), "ErrorCode"), QString());

        // Another database: the working models are dropped and loaded from it.
        const qsizetype beforeDatabase = env.Log().size();
        ChangeSettings(frame, 0, [&](ui::SettingsSheet& sheet) {
            TypeInto(Child<QLineEdit>(sheet, "DbConnectionString"),
                     QStringLiteral("Provider=SQLite;Data Source=") + secondDb);
        });
        const auto modelsDropped = [&] {
            for (const shell::JournalRow& row : frame.Events()->Model().Tab(shell::JournalTab::Recognition).Rows())
                if (row.eventText == QStringLiteral("Все модели удалены")) return true;
            return false;
        };
        EXPECT_TRUE(QTest::qWaitFor(modelsDropped, 30000));
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                return env.Log()
                    .mid(beforeDatabase)
                    .contains(QStringLiteral("ActualizePersonModelList(): 1 персон в БД."));
            },
            30000));
        EXPECT_TRUE(QTest::qWaitFor([&] { return HasRecognitionRow(frame, QStringLiteral("Петров Иван")); },
                                    kRecognitionLimitMs));
        frame.close();
    }
    settings::SetProgramChannel(nullptr);
    objects.Close();
}

}  // namespace
