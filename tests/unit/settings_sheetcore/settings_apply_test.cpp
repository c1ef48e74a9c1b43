// Applying the sheet's copy to the process-wide settings, with the saves and restarts recorded.

#include "app/ui/settings_apply.h"

#include "platform/fixedtext.h"

#include <gtest/gtest.h>

#include <future>
#include <memory>

namespace {

using ui::SettingsGroup;

struct Recorder {
    std::vector<std::string> calls;
    std::vector<SettingsGroup> failing;
    // Whether another thread could take SettingsLock at each restart.
    std::vector<bool> lockFreeAtRestart;

    static bool LockFreeElsewhere() {
        return std::async(std::launch::async,
                          [] {
                              if (!settings::SettingsLock().TryEnter()) return false;
                              settings::SettingsLock().Leave();
                              return true;
                          })
            .get();
    }
    void Restart(const char* what) {
        calls.push_back(what);
        lockFreeAtRestart.push_back(LockFreeElsewhere());
    }
    ui::ApplyServices Services() {
        ui::ApplyServices s;
        s.save = [this](SettingsGroup group, const settings::SettingsState&) {
            calls.push_back("save " + std::to_string(int(group)));
            return std::find(failing.begin(), failing.end(), group) == failing.end();
        };
        s.restartTcpServer = [this] { Restart("tcp"); };
        s.restartUdpServer = [this] { Restart("udp"); };
        s.rebuildModelSet = [this] { Restart("models"); };
        s.restartCsvLog = [this] { Restart("csv"); };
        return s;
    }
};

std::unique_ptr<settings::SettingsState> FreshCopy() {
    settings::SettingsState& running = settings::g_Settings();
    running = settings::SettingsState{};
    running.management = {1, 21077, 1, 21077, u"pw", 0};
    return std::make_unique<settings::SettingsState>(running);
}

TEST(ApplySettings, UnchangedCopySendsNothing) {
    auto copy = FreshCopy();
    Recorder r;
    ui::ApplySettingsCopy(*copy, r.Services());
    EXPECT_TRUE(r.calls.empty());
}

TEST(ApplySettings, FailedSaveKeepsNewValuesAndGoesOn) {
    auto copy = FreshCopy();
    copy->recognition.LikelyDistance = 75;
    copy->csvFormat.Encode = 1;
    copy->management.AllowManagement = 0;
    platform::CopyToFixed(copy->DbConnectionString, u"Database=second");
    Recorder r;
    r.failing = {SettingsGroup::Recognition};
    const ui::ApplyResult result = ui::ApplySettingsCopy(*copy, r.Services());
    const std::vector<std::string> expected{"save 1", "save 2", "save 8", "save 11", "csv", "tcp", "udp", "models"};
    EXPECT_EQ(r.calls, expected);
    EXPECT_EQ(r.lockFreeAtRestart, (std::vector<bool>{true, true, true, true}));
    const settings::SettingsState& running = settings::g_Settings();
    EXPECT_EQ(running.recognition.LikelyDistance, 75u);
    EXPECT_EQ(running.management.AllowUdpLocation, 0);
    EXPECT_EQ(platform::FromFixed(running.DbConnectionString), QStringLiteral("Database=second"));
    EXPECT_EQ(result.previousCameraIndex, -1);
}

TEST(ApplySettings, SettingsOnlyCsvChangeKeepsTheFile) {
    auto copy = FreshCopy();
    copy->csvFormat.SizeLimitMB = 10;
    Recorder r;
    ui::ApplySettingsCopy(*copy, r.Services());
    EXPECT_EQ(r.calls, std::vector<std::string>{"save 8"});
}

}  // namespace
