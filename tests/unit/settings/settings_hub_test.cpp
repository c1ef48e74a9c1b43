#include "settings/settings_hub.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

using settings::Group;
using settings::GroupSet;
using settings::SettingsHub;
using settings::SettingsState;

// A set whose recognition values and camera limits all say `generation`: a reader that sees two
// different numbers in one snapshot saw a change half-applied.
SettingsState Generation(uint32_t generation) {
    SettingsState state;
    state.recognition.MaxSubject = generation;
    state.recognition.LikelyDistance = generation;
    state.recognition.AssuranceDistance = generation;
    state.camerasExt.WaitNewFrameTime = static_cast<int32_t>(generation);
    state.PanelDivProportion = generation;
    return state;
}

TEST(SettingsHub, ReadersNeverSeeAChangeHalfAppliedWhilePublishersRace) {
    SettingsHub hub(Generation(0));
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    std::atomic<uint32_t> highest{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 3; ++i) {
        readers.emplace_back([&] {
            uint32_t lastSeen = 0;
            while (!stop) {
                const settings::SettingsSnapshot s = hub.Snapshot();
                const uint32_t g = s->recognition.MaxSubject;
                if (s->recognition.LikelyDistance != g || s->recognition.AssuranceDistance != g ||
                    s->camerasExt.WaitNewFrameTime != static_cast<int32_t>(g) || s->PanelDivProportion != g)
                    ++torn;
                // One publisher counts up: a reader never goes back in time.
                if (g < lastSeen) ++torn;
                lastSeen = g;
                const auto recognition = hub.Get(&SettingsState::recognition);
                if (recognition->MaxSubject != recognition->AssuranceDistance) ++torn;
                highest = std::max(highest.load(), g);
            }
        });
    }
    std::thread publisher([&] {
        for (uint32_t g = 1; g <= 5000; ++g) hub.Publish(Generation(g));
    });
    publisher.join();
    stop = true;
    for (std::thread& reader : readers) reader.join();
    EXPECT_EQ(torn.load(), 0);
    EXPECT_EQ(hub.Snapshot()->recognition.MaxSubject, 5000u);
}

TEST(SettingsHub, UpdatesOfDifferentValuesFromTwoThreadsAllLand) {
    SettingsHub hub;
    constexpr int kEach = 2000;
    std::thread window([&] {
        for (int i = 0; i < kEach; ++i) hub.Update([](SettingsState& s) { ++s.windowPos.ScreenX; });
    });
    std::thread filters([&] {
        for (int i = 0; i < kEach; ++i) hub.Update([](SettingsState& s) { ++s.dbWin.GrayList; });
    });
    window.join();
    filters.join();
    EXPECT_EQ(hub.Snapshot()->windowPos.ScreenX, kEach);
    EXPECT_EQ(hub.Snapshot()->dbWin.GrayList, kEach);
}

TEST(SettingsHub, SubscribersHearOnlyTheirGroupsAndOnlyRealChanges) {
    SettingsHub hub;
    std::vector<GroupSet> management;
    std::vector<uint32_t> thresholdsSeen;
    {
        settings::Subscription server = hub.Subscribe({Group::Management}, [&](const auto&, GroupSet changed) {
            management.push_back(changed);
        });
        settings::Subscription workers =
            hub.Subscribe({Group::Recognition}, [&](const settings::SettingsSnapshot& published, GroupSet) {
                // The listener is called after the publish: a snapshot already shows it.
                thresholdsSeen.push_back(published->recognition.LikelyDistance);
                EXPECT_EQ(hub.Snapshot()->recognition.LikelyDistance, published->recognition.LikelyDistance);
            });

        SettingsState next = *hub.Snapshot();
        next.recognition.LikelyDistance = 55;
        EXPECT_EQ(hub.Publish(next), GroupSet({Group::Recognition}));
        // The same values again change nothing and wake nobody.
        EXPECT_TRUE(hub.Publish(next).Empty());
        next.stations = QStringList{QStringLiteral("station-2")};
        next.recognition.LikelyDistance = 60;
        EXPECT_EQ(hub.Publish(next), GroupSet({Group::Management, Group::Recognition}));
        hub.Update([](SettingsState& s) { s.CurrentCameraIndex = 3; });
    }
    // Ended subscriptions hear nothing more.
    hub.Update([](SettingsState& s) { s.management.TcpPort = 1; });
    ASSERT_EQ(management.size(), 1u);
    EXPECT_TRUE(management[0].Has(Group::Management));
    EXPECT_EQ(thresholdsSeen, (std::vector<uint32_t>{55, 60}));
}

TEST(SettingsHub, EndingASubscriptionWaitsForItsListenerOnAnotherThread) {
    SettingsHub hub;
    std::atomic<bool> inListener{false};
    std::atomic<bool> listenerDone{false};
    auto subscription = std::make_unique<settings::Subscription>(hub.Subscribe({Group::Alerts}, [&](const auto&, GroupSet) {
        inListener = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        listenerDone = true;
    }));
    std::thread publisher([&] { hub.Update([](SettingsState& s) { s.alerts.Items[0].PlayWav = 1; }); });
    while (!inListener) std::this_thread::yield();
    subscription.reset();
    EXPECT_TRUE(listenerDone);
    publisher.join();
}

TEST(SettingsHub, ChangedGroupsNamesEachGroupOnItsOwn) {
    const SettingsState base;
    const auto changedBy = [&base](auto change) {
        SettingsState next = base;
        change(next);
        return settings::ChangedGroups(base, next);
    };
    EXPECT_TRUE(settings::ChangedGroups(base, base).Empty());
    EXPECT_EQ(changedBy([](SettingsState& s) { s.DbConnectionString[0] = u'x'; }), GroupSet({Group::DbConnectionString}));
    EXPECT_EQ(changedBy([](SettingsState& s) { s.cameraList.Count = 1; }), GroupSet({Group::CameraList}));
    EXPECT_EQ(changedBy([](SettingsState& s) { s.DbDivProportion = 0.5; }), GroupSet({Group::Window}));
    EXPECT_EQ(changedBy([](SettingsState& s) { s.Maximized = 1; }), GroupSet({Group::Window}));
    EXPECT_EQ(changedBy([](SettingsState& s) { s.viewFeatures.FramedFace = 1; }), GroupSet({Group::ViewFeatures}));
    EXPECT_EQ(changedBy([](SettingsState& s) { s.scriptUnrecognized.Timeout = 1; }), GroupSet({Group::ScriptUnrecognized}));
    EXPECT_EQ(changedBy([](SettingsState& s) { s.AutoRun = true; }), GroupSet({Group::AutoRun}));
}

}  // namespace
