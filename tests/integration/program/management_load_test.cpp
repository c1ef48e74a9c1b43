// The whole program in this process with eight stations subscribed to every event while the
// camera shows eight faces that come and go, one station never reading, and a ninth client
// knocking all the time. Runs 30 s (OSTROVID_MANAGEMENT_LOAD_SECONDS sets another length; the
// soak script bench/management_soak.sh runs it for ten minutes) and prints what it measured.

#include "tests/integration/program/end_to_end_fixture.h"
#include "tests/integration/program/management_station.h"
#include "tests/integration/program/silent_alerts.h"
#include "tests/integration/program/switchable_camera.h"
#include "tests/support/enrol_folders.h"

#include <QDir>

#include <atomic>
#include <optional>
#include <thread>

namespace {

using namespace endtoend;
using namespace mgmt_test;

// Threads of this process and its resident memory in KiB.
struct ProcessUse {
    int threads = 0;
    long rssKiB = 0;
};

ProcessUse CurrentUse() {
    ProcessUse use;
    use.threads = int(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmRSS:")) use.rssKiB = line.mid(6).trimmed().split(' ').front().toLong();
    return use;
}

// Eight faces of four people in a 1280x720 frame.
cv::Mat EightFaces() {
    cv::Mat frame(720, 1280, CV_8UC3, cv::Scalar(110, 120, 130));
    const std::vector<testsupport::JohnsPerson> people = testsupport::JohnsPeople();
    for (int i = 0; i < 8 && people.size() >= 4; ++i) {
        const testsupport::JohnsPerson& person = people[size_t(i % 4)];
        const cv::Mat face = testsupport::EnrolPicture(person.pictures[size_t(i / 4) % person.pictures.size()]);
        face.copyTo(frame(cv::Rect(40 + (i % 4) * 300, 60 + (i / 4) * 300, face.cols, face.rows)));
    }
    return frame;
}

int LoadSeconds() {
    const int seconds = qEnvironmentVariableIntValue("OSTROVID_MANAGEMENT_LOAD_SECONDS");
    return seconds > 0 ? seconds : 30;
}

class ManagementLoad : public ProgramFixture {};

TEST_F(ManagementLoad, EightSubscribersAndAKnockingNinthLeaveTheProgramAsItWas) {
    const QString dbFile = env.dir.filePath("data/Vektra/Ostrovid/Ostrovid.db");
    ASSERT_NO_FATAL_FAILURE(EnrollPerson(dbFile));
    const cv::Mat faces = EightFaces();
    const cv::Mat empty(720, 1280, CV_8UC3, cv::Scalar(110, 120, 130));
    testsupport::SwitchableCamera camera;
    ASSERT_TRUE(camera.Listening());
    // Faces come only when every station listens.
    camera.Show(empty);
    const uint16_t tcpPort = FreeSettingsPort(SOCK_STREAM);
    ASSERT_NE(tcpPort, 0);
    {
        platform::RegistryStore store(env.StorePath());
        ASSERT_NO_FATAL_FAILURE(WriteSettings(store, dbFile, camera.Url()));
        WriteManagementSettings(store, tcpPort, FreeSettingsPort(SOCK_DGRAM));
        ASSERT_EQ(store.Save(), 0);
    }

    shell::ProgramObjects objects;
    ASSERT_NO_FATAL_FAILURE(StartServiceAndAttach(objects));
    {
        testsupport::SilentAlerts alerts;
        app::ProgramWindow program(objects, *models, {&alerts, nullptr, nullptr});
        ASSERT_TRUE(program.Create());
        program.Frame().show();

        ASSERT_TRUE(QTest::qWaitFor([&] { return env.Log().contains(ListeningLine(tcpPort)); }, 10000));
        std::vector<std::unique_ptr<RecordingStation>> readers;
        for (int i = 0; i < 7; ++i) {
            readers.push_back(std::make_unique<RecordingStation>(tcpPort, Keep::EventTypes));
            ASSERT_TRUE(readers.back()->Connected()) << "station " << i;
            ASSERT_TRUE(readers.back()->Send(kSubscribe, Subscription(kPassword, "0x7F", "7", i % 3)));
            ASSERT_TRUE(readers.back()->WaitFor(kSubscribeReply));
        }
        // The eighth never reads what it is sent, from a small receive buffer.
        Station deaf(tcpPort, 4096);
        ASSERT_TRUE(deaf.Connected());
        ASSERT_TRUE(deaf.Send(TextPacket(kSubscribe, Subscription(kPassword, "0x7F", "7", 1))));
        QTest::qWait(2000);

        std::atomic<bool> knocking{true};
        std::atomic<int> knocks{0};
        std::atomic<int> admitted{0};
        std::thread ninth([&] {
            while (knocking) {
                Station knocker(tcpPort);
                ++knocks;
                // A connection the system queued on a listener would be answered later; none is.
                if (knocker.Connected() && !knocker.WaitClosed(50ms)) ++admitted;
                std::this_thread::sleep_for(5ms);
            }
        });

        // Faces in view for 4 s, then none for 4 s; the first round warms the program up (models,
        // workers, pictures) before its use is taken.
        QElapsedTimer run;
        run.start();
        // The allocator's arenas of the many threads keep growing for about 40 s before they level
        // off: a short run only bounds the growth after the first round, a long one expects none
        // in its second half.
        const bool soak = LoadSeconds() >= 300;
        std::optional<ProcessUse> before;
        for (int round = 0; run.elapsed() < LoadSeconds() * 1000; ++round) {
            const ProcessUse now = CurrentUse();
            if (soak ? !before && run.elapsed() >= LoadSeconds() * 500 : round == 1) before = now;
            std::printf("round %d: threads %d, RSS %ld KiB\n", round, now.threads, now.rssKiB);
            for (const cv::Mat* shown : {&faces, &empty}) {
                camera.Show(*shown);
                QTest::qWait(4000);
            }
        }
        ASSERT_TRUE(before);
        knocking = false;
        ninth.join();
        const ProcessUse after = CurrentUse();

        // Every reader heard every event of the faces, in the same order (camera-state events
        // depend on when each one subscribed).
        auto types = [](const RecordingStation& station) {
            QStringList list = station.EventTypes();
            list.removeAll(QStringLiteral("1"));
            return list;
        };
        const QStringList first = types(*readers.front());
        EXPECT_GE(first.count(QStringLiteral("2")), 8);
        EXPECT_GE(first.count(QStringLiteral("7")), 8);
        for (const auto& reader : readers)
            EXPECT_EQ(types(*reader), first) << types(*reader).join(u' ').toStdString() << " | "
                                             << first.join(u' ').toStdString();
        EXPECT_EQ(admitted.load(), 0);
        EXPECT_LE(after.threads, before->threads);
        EXPECT_LT(after.rssKiB - before->rssKiB, (soak ? 8 : 128) * 1024);
        std::printf("%d s: %lld events to each of 7 readers, %d knocks refused; threads %d -> %d; RSS %ld -> %ld KiB\n",
                    LoadSeconds(), static_cast<long long>(first.size()), knocks.load(), before->threads, after.threads,
                    before->rssKiB, after.rssKiB);

        // The deaf station leaves: the listener opens again at once for the ninth.
        deaf.Close();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                Station late(tcpPort);
                return late.Connected() && !late.WaitClosed(100ms);
            },
            5000));
        program.Frame().close();
    }
    settings::SetProgramChannel(nullptr);
    objects.Close();
}

}  // namespace
