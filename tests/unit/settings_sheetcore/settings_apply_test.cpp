// Applying the sheet's copy to the settings hub, with the saves and restarts recorded.

#include "app/ui/settings_apply.h"

#include "platform/fixedtext.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <memory>

namespace {

using settings::Group;
using SettingsGroup = settings::Group;

settings::SettingsState Running() {
    settings::SettingsState running;
    running.management = {1, 21077, 1, 21077, u"pw", 0};
    platform::CopyToFixed(running.DbConnectionString, u"Database=first");
    running.recognition.LikelyDistance = 40;
    return running;
}

struct Recorder {
    explicit Recorder(settings::SettingsHub& hub) : hub(hub) {}

    settings::SettingsHub& hub;
    std::vector<std::string> calls;
    std::vector<SettingsGroup> failing;
    // The set another thread read during each save, and the set in the hub at each restart.
    std::vector<settings::SettingsSnapshot> seenDuringSaves;
    std::vector<settings::SettingsSnapshot> seenAtRestarts;

    // Read on another thread, as a worker would, within a second: nothing may hold it up.
    settings::SettingsSnapshot ReadElsewhere() const {
        std::future<settings::SettingsSnapshot> read =
            std::async(std::launch::async, [this] { return hub.Snapshot(); });
        if (read.wait_for(std::chrono::seconds(1)) != std::future_status::ready) return nullptr;
        return read.get();
    }
    void Restart(const char* what) {
        calls.push_back(what);
        seenAtRestarts.push_back(hub.Snapshot());
    }
    ui::ApplyServices Services() {
        ui::ApplyServices s;
        s.save = [this](SettingsGroup group, const settings::SettingsState&) {
            calls.push_back("save " + std::to_string(int(group)));
            seenDuringSaves.push_back(ReadElsewhere());
            return std::find(failing.begin(), failing.end(), group) == failing.end();
        };
        s.restartTcpServer = [this] { Restart("tcp"); };
        s.restartUdpServer = [this] { Restart("udp"); };
        s.rebuildModelSet = [this] { Restart("models"); };
        s.restartCsvLog = [this] { Restart("csv"); };
        return s;
    }
};

// The sheet's copy of `running` with a new CSV encoding, management switched off and another
// database: three groups to save, each with something to restart.
std::unique_ptr<settings::SettingsState> WithThreeGroupsChanged(const settings::SettingsState& running) {
    auto copy = std::make_unique<settings::SettingsState>(running);
    copy->csvFormat.Encode = 1;
    copy->management.AllowManagement = 0;
    platform::CopyToFixed(copy->DbConnectionString, u"Database=second");
    return copy;
}

TEST(ApplySettings, UnchangedCopySendsNothing) {
    settings::SettingsHub hub(Running());
    const settings::SettingsSnapshot before = hub.Snapshot();
    auto copy = std::make_unique<settings::SettingsState>(*before);
    Recorder r(hub);
    ui::ApplySettingsCopy(hub, *copy, r.Services());
    EXPECT_TRUE(r.calls.empty());
    EXPECT_EQ(hub.Snapshot(), before);
}

TEST(ApplySettings, TheSavesSeeTheNewValuesWhileReadersKeepTheRunningOnesUntilThePublish) {
    settings::SettingsHub hub(Running());
    const settings::SettingsSnapshot before = hub.Snapshot();
    auto copy = WithThreeGroupsChanged(*before);
    Recorder r(hub);
    std::vector<QString> savedStrings;
    ui::ApplyServices services = r.Services();
    services.save = [&, save = services.save](SettingsGroup group, const settings::SettingsState& next) {
        savedStrings.push_back(platform::FromFixed(next.DbConnectionString));
        return save(group, next);
    };
    ui::ApplySettingsCopy(hub, *copy, services);
    const std::vector<std::string> expected{"save 1", "save 8", "save 11", "csv", "tcp", "udp", "models"};
    EXPECT_EQ(r.calls, expected);
    EXPECT_EQ(savedStrings, std::vector<QString>(3, QStringLiteral("Database=second")));
    // Each save waited on no lock of a reader, and the readers saw the running set throughout.
    ASSERT_EQ(r.seenDuringSaves.size(), 3u);
    for (const settings::SettingsSnapshot& seen : r.seenDuringSaves) EXPECT_EQ(seen, before);
    // Every restart reads what was applied.
    ASSERT_EQ(r.seenAtRestarts.size(), 4u);
    for (const settings::SettingsSnapshot& seen : r.seenAtRestarts) {
        EXPECT_EQ(seen, hub.Snapshot());
        EXPECT_EQ(seen->csvFormat.Encode, 1);
        EXPECT_EQ(seen->management.AllowManagement, 0);
    }
}

TEST(ApplySettings, SavesRunWhereTheRunnerRunsThemAndThePublishFollows) {
    settings::SettingsHub hub(Running());
    auto copy = std::make_unique<settings::SettingsState>(*hub.Snapshot());
    copy->recognition.LikelyDistance = 75;
    Recorder r(hub);
    ui::ApplyServices services = r.Services();
    services.runSaves = [&](const std::function<void()>& saves) {
        r.calls.push_back("runner");
        std::async(std::launch::async, saves).get();
        r.calls.push_back("runner done");
        EXPECT_EQ(hub.Snapshot()->recognition.LikelyDistance, 40u);
    };
    ui::ApplySettingsCopy(hub, *copy, services);
    EXPECT_EQ(r.calls, (std::vector<std::string>{"runner", "save 2", "runner done"}));
    EXPECT_EQ(hub.Snapshot()->recognition.LikelyDistance, 75u);
}

TEST(ApplySettings, SettingsOnlyCsvChangeKeepsTheFile) {
    settings::SettingsHub hub(Running());
    auto copy = std::make_unique<settings::SettingsState>(*hub.Snapshot());
    copy->csvFormat.SizeLimitMB = 10;
    Recorder r(hub);
    ui::ApplySettingsCopy(hub, *copy, r.Services());
    EXPECT_EQ(r.calls, std::vector<std::string>{"save 8"});
    EXPECT_EQ(hub.Snapshot()->csvFormat.SizeLimitMB, 10u);
}

// A failed save publishes nothing: the group keeps its running value, its subscribers are not
// woken, and what restarts only because of it does not; the other groups go on as planned.
TEST(ApplySettingsFailedSave, KeepsTheRunningValueAndTheOtherGroupsGoOn) {
    settings::SettingsHub hub(Running());
    auto copy = std::make_unique<settings::SettingsState>(*hub.Snapshot());
    copy->recognition.LikelyDistance = 75;
    copy->csvFormat.Encode = 1;
    copy->management.AllowManagement = 0;
    platform::CopyToFixed(copy->DbConnectionString, u"Database=second");
    int recognitionWakes = 0;
    std::vector<settings::GroupSet> published;
    const settings::Subscription recognitionWatch = hub.Subscribe(
        {Group::Recognition}, [&](const settings::SettingsSnapshot&, settings::GroupSet) { ++recognitionWakes; });
    const settings::Subscription allWatch = hub.Subscribe(
        settings::GroupSet::All(),
        [&](const settings::SettingsSnapshot&, settings::GroupSet changed) { published.push_back(changed); });
    Recorder r(hub);
    r.failing = {SettingsGroup::Recognition};
    const ui::ApplyResult result = ui::ApplySettingsCopy(hub, *copy, r.Services());
    const std::vector<std::string> expected{"save 1", "save 2", "save 8", "save 11", "csv", "tcp", "udp", "models"};
    EXPECT_EQ(r.calls, expected);
    const settings::SettingsSnapshot running = hub.Snapshot();
    EXPECT_EQ(running->recognition.LikelyDistance, 40u);
    EXPECT_EQ(running->management.AllowUdpLocation, 0);
    EXPECT_EQ(running->csvFormat.Encode, 1);
    EXPECT_EQ(platform::FromFixed(running->DbConnectionString), QStringLiteral("Database=second"));
    EXPECT_EQ(recognitionWakes, 0);
    ASSERT_EQ(published.size(), 1u);
    EXPECT_EQ(published[0], (settings::GroupSet{Group::DbConnectionString, Group::CsvFormat, Group::Management}));
    EXPECT_EQ(result.plan.groups, (std::vector<Group>{Group::DbConnectionString, Group::CsvFormat, Group::Management}));
    EXPECT_EQ(result.previousCameraIndex, -1);
}

TEST(ApplySettingsFailedSave, WhatRestartsOnlyForAFailedGroupStays) {
    struct Case {
        const char* what;
        SettingsGroup failing;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {"connection string", Group::DbConnectionString, {"save 1", "save 8", "save 11", "csv", "tcp", "udp"}},
        {"csv format", Group::CsvFormat, {"save 1", "save 8", "save 11", "tcp", "udp", "models"}},
        {"management", Group::Management, {"save 1", "save 8", "save 11", "csv", "models"}},
    };
    for (const Case& c : cases) {
        settings::SettingsHub hub(Running());
        const settings::SettingsSnapshot before = hub.Snapshot();
        auto copy = WithThreeGroupsChanged(*before);
        Recorder r(hub);
        r.failing = {c.failing};
        const ui::ApplyResult result = ui::ApplySettingsCopy(hub, *copy, r.Services());
        EXPECT_EQ(r.calls, c.calls) << c.what;
        EXPECT_FALSE(result.plan.Has(c.failing)) << c.what;
        EXPECT_TRUE(settings::ChangedGroups(*before, *hub.Snapshot()) ==
                    (c.failing == Group::DbConnectionString ? settings::GroupSet{Group::CsvFormat, Group::Management}
                     : c.failing == Group::CsvFormat ? settings::GroupSet{Group::DbConnectionString, Group::Management}
                                                     : settings::GroupSet{Group::DbConnectionString, Group::CsvFormat}))
            << c.what;
    }
}

TEST(ApplySettingsFailedSave, EveryGroupFailingPublishesNothingAndLeavesTheCameraAlone) {
    settings::SettingsState state = Running();
    state.cameraList.Count = 1;
    state.cameraList.Cameras[0].InUse = 1;
    state.CurrentCameraIndex = 0;
    settings::SettingsHub hub(state);
    const settings::SettingsSnapshot before = hub.Snapshot();
    auto copy = std::make_unique<settings::SettingsState>(*before);
    copy->cameraList.Count = 0;
    copy->smtp.SMTPServerPort = 465;
    int wakes = 0;
    const settings::Subscription watch = hub.Subscribe(
        settings::GroupSet::All(), [&](const settings::SettingsSnapshot&, settings::GroupSet) { ++wakes; });
    Recorder r(hub);
    r.failing = {SettingsGroup::Smtp, SettingsGroup::CameraList};
    const ui::ApplyResult result = ui::ApplySettingsCopy(hub, *copy, r.Services());
    EXPECT_EQ(r.calls, (std::vector<std::string>{"save 3", "save 5"}));
    EXPECT_EQ(hub.Snapshot(), before);
    EXPECT_EQ(wakes, 0);
    EXPECT_TRUE(result.plan.groups.empty());
    EXPECT_FALSE(result.plan.cameraListChanged);
    EXPECT_EQ(result.previousCameraIndex, 0);
}

}  // namespace
