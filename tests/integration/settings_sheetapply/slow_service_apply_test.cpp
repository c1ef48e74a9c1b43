// The settings sheet's apply over the real channel, against a service that takes 5 s to answer
// each save: the readers of the hub (the viewport's 30 ms tick on the user-interface thread, a
// prediction worker on its own thread) keep their pace meanwhile, and after the replies only the
// group whose save succeeded is published.

#include "app/ui/pumped_call.h"
#include "app/ui/settings_apply.h"
#include "platform/fixedtext.h"
#include "tests/integration/channel/stand_in_fixture.h"
#include "tests/support/log_lines.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;

constexpr int kTickMs = 30;
constexpr int kAnswerMs = 5000;
constexpr uint32_t kRecognitionPacket = 20;

class SlowServiceApply : public testsupport::StandInServiceTest {
protected:
    void SetUp() override {
        Prepare("tslow");
        // Every packet is answered after 5 s; the recognition group's save is refused.
        Attach({SLOW_SERVICE_BINARY, std::to_string(kAnswerMs), std::to_string(kRecognitionPacket)});
    }
};

settings::SettingsState Running() {
    settings::SettingsState s;
    s.recognition.MaxSubject = 8;
    s.recognition.LikelyDistance = 40;
    platform::CopyToFixed(s.smtp.SMTPServer, u"old.example.org");
    s.management = {1, 21077, 1, 21077, u"pw", 0};
    return s;
}

TEST_F(SlowServiceApply, ReadersKeepTheirPaceAndOnlyTheSavedGroupIsPublishedAfterTheReplies) {
    settings::SettingsHub hub(Running());
    settings::SettingsState copy = *hub.Snapshot();
    copy.recognition.LikelyDistance = 55;
    platform::CopyToFixed(copy.smtp.SMTPServer, u"new.example.org");

    std::atomic<int> recognitionWakes{0};
    std::atomic<int> smtpWakes{0};
    const settings::Subscription recognitionWatch =
        hub.Subscribe({settings::Group::Recognition},
                      [&](const settings::SettingsSnapshot&, settings::GroupSet) { ++recognitionWakes; });
    const settings::Subscription smtpWatch = hub.Subscribe(
        {settings::Group::Smtp}, [&](const settings::SettingsSnapshot&, settings::GroupSet) { ++smtpWakes; });

    QElapsedTimer clock;
    clock.start();

    // The viewport's tick: one snapshot each 30 ms on this thread.
    struct Tick {
        qint64 at;
        QString smtpServer;
    };
    std::vector<Tick> ticks;
    QTimer viewportTick;
    viewportTick.setTimerType(Qt::PreciseTimer);
    viewportTick.setInterval(kTickMs);
    QObject::connect(&viewportTick, &QTimer::timeout, [&] {
        const settings::SettingsSnapshot s = hub.Snapshot();
        ticks.push_back({clock.elapsed(), platform::FromFixed(s->smtp.SMTPServer)});
    });

    // A prediction worker: reads LikelyDistance for each face, as the workers do, and posts its
    // result to this thread; the time from the read to the result's arrival is recorded here.
    QObject viewport;
    std::vector<qint64> deliveries;
    std::vector<uint32_t> distancesSeen;
    std::atomic<bool> stopWorker{false};
    std::thread worker([&] {
        while (!stopWorker) {
            const qint64 read = clock.elapsed();
            const uint32_t distance = hub.Get(&settings::SettingsState::recognition)->LikelyDistance;
            QMetaObject::invokeMethod(
                &viewport,
                [&, read, distance] {
                    deliveries.push_back(clock.elapsed() - read);
                    distancesSeen.push_back(distance);
                },
                Qt::QueuedConnection);
            std::this_thread::sleep_for(std::chrono::milliseconds(kTickMs));
        }
    });

    std::vector<std::string> restarts;
    ui::ApplyServices services;
    services.save = ui::SaveSettingsGroup;
    services.runSaves = ui::RunHandlingEvents;
    services.restartTcpServer = [&] { restarts.push_back("tcp"); };
    services.restartUdpServer = [&] { restarts.push_back("udp"); };
    services.rebuildModelSet = [&] { restarts.push_back("models"); };
    services.restartCsvLog = [&] { restarts.push_back("csv"); };

    viewportTick.start();
    QTest::qWait(100);
    const qint64 applyStarted = clock.elapsed();
    const ui::ApplyResult result = ui::ApplySettingsCopy(hub, copy, services);
    const qint64 applyEnded = clock.elapsed();
    QTest::qWait(200);
    stopWorker = true;
    worker.join();
    QTest::qWait(2 * kTickMs);
    viewportTick.stop();

    // Both saves waited for the slow service, one after the other.
    ASSERT_GE(applyEnded - applyStarted, 2 * kAnswerMs - 100);

    // No tick came more than one tick late while the saves waited.
    const auto duringApply = [&](const Tick& t) { return t.at > applyStarted && t.at < applyEnded; };
    ASSERT_GE(std::count_if(ticks.begin(), ticks.end(), duringApply), (applyEnded - applyStarted) / kTickMs / 2);
    qint64 longestGap = 0;
    for (size_t i = 1; i < ticks.size(); ++i) longestGap = std::max(longestGap, ticks[i].at - ticks[i - 1].at);
    EXPECT_LE(longestGap, 2 * kTickMs);
    // The worker's results arrived within a tick of its read.
    ASSERT_GE(deliveries.size(), size_t((applyEnded - applyStarted) / kTickMs / 2));
    EXPECT_LE(*std::max_element(deliveries.begin(), deliveries.end()), kTickMs);

    // The saved group is seen only once the replies are in; the refused one never.
    for (const Tick& t : ticks) {
        if (t.at >= applyEnded) break;
        EXPECT_EQ(t.smtpServer, QStringLiteral("old.example.org")) << t.at;
    }
    EXPECT_EQ(ticks.back().smtpServer, QStringLiteral("new.example.org"));
    EXPECT_TRUE(std::all_of(distancesSeen.begin(), distancesSeen.end(), [](uint32_t d) { return d == 40; }));
    EXPECT_EQ(hub.Snapshot()->recognition.LikelyDistance, 40u);
    EXPECT_EQ(platform::FromFixed(hub.Snapshot()->smtp.SMTPServer), QStringLiteral("new.example.org"));
    EXPECT_EQ(result.plan.groups, std::vector<settings::Group>{settings::Group::Smtp});
    EXPECT_EQ(recognitionWakes, 0);
    EXPECT_EQ(smtpWakes, 1);
    EXPECT_TRUE(restarts.empty());
    const QStringList log = testsupport::LogLines(dir.filePath("Ostrovid.log"));
    EXPECT_EQ(testsupport::CountLines(
                  log, QStringLiteral("Error on saving RecognitionSettings to registry: The store refused the group.")),
              1);
    EXPECT_EQ(testsupport::CountLines(log, QStringLiteral("SmtpSettings saved to registry.")), 1);
}

}  // namespace
