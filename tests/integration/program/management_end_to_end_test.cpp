// The whole program in this process with the management server on: stations on loopback, written
// from the packet and document tables alone, subscribe, ask for the camera and find the program
// over UDP while the camera shows an enrolled man beside a woman the database does not know.

#include "app/actions/template_values.h"
#include "app/ui/camera_panel.h"
#include "app/ui/status_parts.h"
#include "tests/integration/program/end_to_end_fixture.h"
#include "tests/integration/program/management_station.h"
#include "tests/integration/program/silent_alerts.h"
#include "tests/integration/program/switchable_camera.h"

namespace {

using namespace endtoend;
using namespace std::chrono_literals;
using namespace mgmt_test;

QByteArray DiscoveryReply(uint16_t port) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    QByteArray request(136, '\0');
    qToLittleEndian<uint32_t>(0x00010001, request.data());
    const sockaddr_in address = mgmt_test::Loopback(port);
    sendto(fd, request.constData(), size_t(request.size()), 0, reinterpret_cast<const sockaddr*>(&address),
           sizeof address);
    QByteArray reply(512, '\0');
    pollfd p{fd, POLLIN, 0};
    ssize_t n = -1;
    if (poll(&p, 1, 5000) > 0) n = recv(fd, reply.data(), size_t(reply.size()), 0);
    close(fd);
    return n < 0 ? QByteArray() : reply.left(n);
}

class ManagementEndToEnd : public ProgramFixture {};

TEST_F(ManagementEndToEnd, StationsFollowTheRecognitionAskForTheCameraAndFindTheProgram) {
    const QString dbFile = env.dir.filePath("data/Vektra/Ostrovid/Ostrovid.db");
    ASSERT_NO_FATAL_FAILURE(EnrollPerson(dbFile));
    cv::Mat wide(720, 1280, CV_8UC3, cv::Scalar(110, 120, 130));
    photo.copyTo(wide(cv::Rect((1280 - photo.cols) / 2, (720 - photo.rows) / 2, photo.cols, photo.rows)));
    testsupport::SwitchableCamera camera;
    ASSERT_TRUE(camera.Listening());
    camera.Show(wide);
    const uint16_t tcpPort = FreeSettingsPort(SOCK_STREAM);
    const uint16_t udpPort = FreeSettingsPort(SOCK_DGRAM);
    ASSERT_NE(tcpPort, 0);
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

        ASSERT_TRUE(QTest::qWaitFor([&] { return env.Log().contains(ListeningLine(tcpPort)); }, 10000));
        // Everything in PNG, and a red-list watcher that must hear nothing of a green-list person.
        RecordingStation all(tcpPort);
        RecordingStation red(tcpPort);
        ASSERT_TRUE(all.Connected());
        ASSERT_TRUE(red.Connected());
        ASSERT_TRUE(all.Send(mgmt_test::kSubscribe, Subscription(kPassword, "0x7F", "7", 1)));
        ASSERT_TRUE(red.Send(mgmt_test::kSubscribe, Subscription(kPassword, "4", "2", 0)));
        const std::optional<Received> allReply = all.WaitFor(mgmt_test::kSubscribeReply);
        ASSERT_TRUE(allReply);
        EXPECT_EQ(Child(Root(allReply->packet), "ErrorCode"), QString());
        ASSERT_TRUE(red.WaitFor(mgmt_test::kSubscribeReply));
        // The camera panel's status bar counts the sessions.
        const ui::StatusParts& status = *frame.CameraPanel()->Status();
        auto connectionsShown = [&](const char16_t* text) {
            return QTest::qWaitFor([&] { return status.Text(2) == QStringView(text); }, 5000);
        };
        EXPECT_TRUE(connectionsShown(u"2")) << status.Text(2).toStdString();
        ASSERT_TRUE(all.WaitFor(mgmt_test::kEvent));
        const QDomElement state = all.Events(1).front();
        EXPECT_EQ(Child(state.firstChildElement("Camera"), "Operation"), QStringLiteral("0"));

        ASSERT_TRUE(QTest::qWaitFor([&] { return HasRecognitionRow(frame, QStringLiteral("Иванов Пётр")); },
                                    kRecognitionLimitMs));
        const qint64 recognitionSeen = all.Now();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !all.Events(3).empty(); }, 5000));
        size_t typeThree = 0;
        const std::vector<Received> received = all.Packets();
        while (Child(Root(received[typeThree].packet), "Type") != u"3") ++typeThree;
        std::printf("recognition journal row seen at %lld ms, type 3 event at the station at %lld ms\n",
                    static_cast<long long>(recognitionSeen), static_cast<long long>(received[typeThree].at));
        const QDomElement person = all.Events(3).front().firstChildElement("Person");
        EXPECT_EQ(person.attribute("ID"), QStringLiteral("1"));
        EXPECT_EQ(person.attribute("ListNum"), QStringLiteral("0"));
        EXPECT_EQ(person.attribute("Surname"), QStringLiteral("Иванов"));
        EXPECT_EQ(person.attribute("DateOfBirth"), QStringLiteral("0.000"));
        EXPECT_EQ(all.Events(3).front().firstChildElement("Camera").attribute("Name"), QStringLiteral("Вход"));
        // Two faces came into view: two new-face events with 150 x 150 PNG pictures.
        ASSERT_GE(all.Events(2).size(), 2u);
        const cv::Mat newFace = DecodedImage(all.Events(2).front().firstChildElement("Image"));
        EXPECT_EQ(newFace.size(), cv::Size(150, 150));

        // A camera request with the picture and the persons in view.
        auto askingStation = std::make_unique<RecordingStation>(tcpPort);
        RecordingStation& asking = *askingStation;
        ASSERT_TRUE(asking.Connected());
        EXPECT_TRUE(connectionsShown(u"3")) << status.Text(2).toStdString();
        ASSERT_TRUE(asking.Send(mgmt_test::kRequest, CameraInfoRequest(QStringLiteral("wrong"), 3)));
        const std::optional<Received> refused = asking.WaitFor(mgmt_test::kReply);
        ASSERT_TRUE(refused);
        EXPECT_EQ(Child(Root(refused->packet), "ErrorCode"), QStringLiteral("1"));
        const qint64 asked = asking.Now();
        ASSERT_TRUE(asking.Send(mgmt_test::kRequest, CameraInfoRequest(kPassword, 3)));
        const std::optional<Received> answer = asking.WaitFor(mgmt_test::kReply, 1);
        ASSERT_TRUE(answer);
        std::printf("CameraInfo with a 1280x720 JPEG picture: reply after %lld ms\n",
                    static_cast<long long>(answer->at - asked));
        const QDomElement reply = Root(answer->packet);
        EXPECT_EQ(Child(reply, "ErrorCode"), QString());
        const QDomElement cameraElement = reply.firstChildElement("Camera");
        EXPECT_EQ(cameraElement.attribute("Works"), QStringLiteral("1"));
        EXPECT_EQ(cameraElement.attribute("Name"), QStringLiteral("Вход"));
        EXPECT_EQ(cameraElement.attribute("HRes"), QStringLiteral("1280"));
        const cv::Mat picture = DecodedImage(cameraElement.firstChildElement("Image"));
        ASSERT_EQ(picture.size(), cv::Size(1280, 720));
        // The camera's own frame (it came through the camera's JPEG stream), not mirrored.
        EXPECT_GT(cv::PSNR(picture, wide), 30.0);
        const QDomElement listed = reply.firstChildElement("CurrentPersonList").firstChildElement("Person");
        EXPECT_EQ(Child(listed, "Surname"), QStringLiteral("Иванов"));
        EXPECT_EQ(Child(listed, "PersonID"), QStringLiteral("1"));
        askingStation.reset();
        EXPECT_TRUE(connectionsShown(u"2")) << status.Text(2).toStdString();

        // Discovery answers with the computer name and the version.
        const QByteArray discovered = DiscoveryReply(udpPort);
        ASSERT_EQ(discovered.size(), 188);
        EXPECT_EQ(qFromLittleEndian<uint32_t>(discovered.constData()), 0x00020001u);
        EXPECT_EQ(qFromLittleEndian<uint32_t>(discovered.constData() + 4), 180u);
        EXPECT_EQ(QString::fromUtf16(reinterpret_cast<const char16_t*>(discovered.constData() + 8)),
                  actions::ComputerNameAtStartup().left(15));
        EXPECT_EQ(qFromLittleEndian<uint32_t>(discovered.constData() + 40), 0x00020002u);

        // Both leave: the end of a recognized presence and of an unrecognized one.
        camera.Show(testsupport::CameraFrame({}, 0));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !all.Events(6).empty() && !all.Events(7).empty(); }, 20000));
        EXPECT_EQ(all.Events(6).front().firstChildElement("Person").attribute("ID"), QStringLiteral("1"));
        EXPECT_GT(Child(all.Events(7).front(), "PresenceSeconds").toDouble(), 0.0);
        // The red-list watcher heard nothing after its reply.
        EXPECT_EQ(red.Packets().size(), 1u);
        frame.close();
    }
    settings::SetProgramChannel(nullptr);
    objects.Close();
    ExpectLinesInOrder(
        env.Log(),
        {QStringLiteral("TcpServerThreadFunc started."), QStringLiteral("Destroy: Wait until TcpServerThread works..."),
         QStringLiteral("TcpServerThreadFunc completed."), QStringLiteral("Destroy: TcpServerThread completed."),
         QStringLiteral("Destroy: Wait until UdpServerThread works..."),
         QStringLiteral("Destroy: UdpServerThread completed."),
         QStringLiteral("Destroy: Wait until SvcLiveThread works...")});
}

}  // namespace
