#include "app/ui/settings_apply_plan.h"

#include "platform/fixedtext.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using ui::ApplyPlan;
using ui::CameraOutcome;
using ui::CsvChange;
using SettingsGroup = settings::Group;

using Groups = std::vector<SettingsGroup>;

// SettingsState is large; keep it off the stack.
struct States {
    std::unique_ptr<settings::SettingsState> running = std::make_unique<settings::SettingsState>();
    std::unique_ptr<settings::SettingsState> copy;

    States() {
        running->management = {1, 21077, 1, 21077, u"secret", 1};
        running->stations = {QStringLiteral("alpha"), QStringLiteral("beta")};
        platform::CopyToFixed(running->smtp.SMTPServer, u"smtp.example.org");
        platform::CopyToFixed(running->csvFormat.Folder, u"/var/log/faces");
        running->cameraList.Count = 2;
        SetIpCamera(running->cameraList.Cameras[0], u"Door", u"rtsp://10.0.0.5/live");
        SetIpCamera(running->cameraList.Cameras[1], u"Hall", u"rtsp://10.0.0.6/live");
        copy = std::make_unique<settings::SettingsState>(*running);
    }
    ApplyPlan Plan() { return ui::PlanApply(*running, *copy); }

    static void SetIpCamera(settings::CameraDescriptor& c, std::u16string_view name, std::u16string_view url) {
        c = {};
        c.Type = 1;
        platform::CopyToFixed(c.Name, name);
        platform::CopyToFixed(c.Source.Url, url);
    }
};

TEST(ApplyPlan, NoChangeSavesAndRestartsNothing) {
    States s;
    const ApplyPlan plan = s.Plan();
    EXPECT_TRUE(plan.groups.empty());
    EXPECT_FALSE(plan.restartTcp || plan.restartUdp || plan.connectionStringChanged || plan.cameraListChanged);
    EXPECT_EQ(plan.csv, CsvChange::None);
}

TEST(ApplyPlan, ChangedGroupsComeInSaveOrder) {
    States s;
    s.copy->management.UdpPort = 5000;
    s.copy->scriptUnrecognized.Timeout = 9;
    s.copy->recognition.LikelyDistance = 70;
    s.copy->AutoRun = true;
    platform::CopyToFixed(s.copy->DbConnectionString, u"Provider=pg;Database=second");
    const ApplyPlan plan = s.Plan();
    EXPECT_EQ(plan.groups,
              (Groups{SettingsGroup::AutoRun, SettingsGroup::DbConnectionString, SettingsGroup::Recognition,
                      SettingsGroup::ScriptUnrecognized, SettingsGroup::Management}));
    EXPECT_TRUE(plan.connectionStringChanged);
}

TEST(ApplyPlan, CaseOnlyEditsAreEdits) {
    // File names differ by case on this system, and a case fix of a text is what the operator wants kept.
    {
        States s;
        platform::CopyToFixed(s.copy->smtp.SMTPServer, u"SMTP.Example.ORG");
        platform::CopyToFixed(s.running->upActions.ScriptFile, u"/opt/a.sh");
        platform::CopyToFixed(s.copy->upActions.ScriptFile, u"/OPT/A.SH");
        platform::CopyToFixed(s.copy->csvFormat.Folder, u"/VAR/log/faces");
        const ApplyPlan plan = s.Plan();
        EXPECT_EQ(plan.groups, (Groups{SettingsGroup::Smtp, SettingsGroup::UPActionSet, SettingsGroup::CsvFormat}));
        EXPECT_EQ(plan.csv, CsvChange::FileFormat);
    }
    {
        // Each text of the unrecognized-person actions on its own.
        const auto field = [](settings::UPActionSet& set, int which) -> char16_t* {
            switch (which) {
            case 0: return set.Recepients;
            case 1: return set.SubjectFormat;
            default: return set.BodyFormat;
            }
        };
        for (int which = 0; which < 3; ++which) {
            States s;
            platform::CopyToFixed(s.running->upActions.Recepients, u"guard@example.org");
            platform::CopyToFixed(s.running->upActions.SubjectFormat, u"unknown person");
            platform::CopyToFixed(s.running->upActions.BodyFormat, u"at the door");
            s.copy = std::make_unique<settings::SettingsState>(*s.running);
            char16_t* text = field(s.copy->upActions, which);
            text[0] = char16_t(QChar(text[0]).toUpper().unicode());
            EXPECT_EQ(s.Plan().groups, Groups{SettingsGroup::UPActionSet}) << which;
        }
    }
    {
        // The sender, an alert's text, the connection string, the password.
        States s;
        platform::CopyToFixed(s.copy->smtp.Originator, u"A@x");
        platform::CopyToFixed(s.running->smtp.Originator, u"a@x");
        platform::CopyToFixed(s.copy->alerts.Items[2].Speech, u"Hello");
        platform::CopyToFixed(s.running->alerts.Items[2].Speech, u"hello");
        platform::CopyToFixed(s.copy->DbConnectionString, u"Database=A");
        platform::CopyToFixed(s.running->DbConnectionString, u"Database=a");
        platform::CopyToFixed(s.copy->management.Password, u"Secret");
        const ApplyPlan plan = s.Plan();
        EXPECT_EQ(plan.groups, (Groups{SettingsGroup::DbConnectionString, SettingsGroup::Smtp, SettingsGroup::Alerts,
                                       SettingsGroup::Management}));
        EXPECT_TRUE(plan.restartTcp);
        EXPECT_FALSE(plan.restartUdp);
    }
}

TEST(ApplyPlan, CsvFileFormatAgainstSettingsOnly) {
    States s;
    s.copy->csvFormat.RotatesNumber = 7;
    EXPECT_EQ(s.Plan().csv, CsvChange::SettingsOnly);
    s.copy->csvFormat.Delimiter = 1;
    EXPECT_EQ(s.Plan().csv, CsvChange::FileFormat);
    s.copy = std::make_unique<settings::SettingsState>(*s.running);
    platform::CopyToFixed(s.copy->csvFormat.Folder, u"/var/log/other");
    const ApplyPlan plan = s.Plan();
    EXPECT_EQ(plan.csv, CsvChange::FileFormat);
    EXPECT_EQ(plan.groups, Groups{SettingsGroup::CsvFormat});
}

TEST(ApplyPlan, ManagementRestartsOnlyTheServerConcerned) {
    {
        States s;
        platform::CopyToFixed(s.copy->management.Password, u"other");
        const ApplyPlan plan = s.Plan();
        EXPECT_TRUE(plan.restartTcp);
        EXPECT_FALSE(plan.restartUdp);
        EXPECT_EQ(plan.groups, Groups{SettingsGroup::Management});
    }
    {
        States s;
        s.copy->management.UdpPort = 21078;
        const ApplyPlan plan = s.Plan();
        EXPECT_FALSE(plan.restartTcp);
        EXPECT_TRUE(plan.restartUdp);
        EXPECT_EQ(plan.groups, Groups{SettingsGroup::Management});
    }
    {
        // A station list that only differs in order is the same list once sorted.
        States s;
        s.copy->stations = {QStringLiteral("beta"), QStringLiteral("alpha")};
        EXPECT_TRUE(s.Plan().groups.empty());
        s.copy->stations = {QStringLiteral("beta"), QStringLiteral("Alpha")};
        EXPECT_TRUE(s.Plan().restartTcp);
    }
}

TEST(ApplyPlan, ManagementIsNormalizedBeforeComparing) {
    {
        // Turning management off also turns discovery off and stops both servers.
        States s;
        s.copy->management.AllowManagement = 0;
        const ApplyPlan plan = s.Plan();
        EXPECT_EQ(s.copy->management.AllowUdpLocation, 0);
        EXPECT_TRUE(plan.restartTcp && plan.restartUdp);
    }
    {
        // Discovery stored on while management was off did not run: management on starts it.
        States s;
        s.running->management.AllowManagement = 0;
        *s.copy = *s.running;
        s.copy->management.AllowManagement = 1;
        const ApplyPlan plan = s.Plan();
        EXPECT_TRUE(plan.restartTcp && plan.restartUdp);
    }
    {
        // "Only these stations" with no station accepts any station.
        States s;
        s.copy->stations.clear();
        s.Plan();
        EXPECT_EQ(s.copy->management.AcceptConnectionFlag, 0);
    }
    {
        // Accepting any station drops the list; an empty port is the default one.
        States s;
        s.copy->management.AcceptConnectionFlag = 0;
        s.copy->management.TcpPort = 0;
        s.copy->management.UdpPort = 0;
        const ApplyPlan plan = s.Plan();
        EXPECT_TRUE(s.copy->stations.isEmpty());
        EXPECT_EQ(s.copy->management.TcpPort, 21077u);
        EXPECT_EQ(s.copy->management.UdpPort, 21077u);
        EXPECT_TRUE(plan.restartTcp);
        EXPECT_FALSE(plan.restartUdp);
    }
    {
        // UTF-16 order: upper case before lower case, Latin before Cyrillic.
        settings::ManagementServerSettings m{1, 1, 0, 1, {}, 1};
        QStringList stations{QStringLiteral("сервер"), QStringLiteral("b"), QStringLiteral("B")};
        ui::NormalizeManagement(m, stations);
        EXPECT_EQ(stations, (QStringList{QStringLiteral("B"), QStringLiteral("b"), QStringLiteral("сервер")}));
    }
}

TEST(ApplyPlan, TakeOverCopiesOnlyPlannedGroups) {
    States s;
    s.copy->management.UdpPort = 0;  // becomes 21077: no change
    s.copy->smtp.SMTPServerPort = 465;
    s.copy->viewFeatures.FramedFace = 1;  // not edited by the sheet
    s.copy->stations = {QStringLiteral("gamma")};
    const ApplyPlan plan = s.Plan();
    ui::TakeOver(plan, *s.copy, *s.running);
    EXPECT_EQ(s.running->smtp.SMTPServerPort, 465u);
    EXPECT_EQ(s.running->viewFeatures.FramedFace, 0);
    EXPECT_EQ(s.running->stations, QStringList{QStringLiteral("gamma")});
    EXPECT_EQ(s.running->management.UdpPort, 21077u);
}

TEST(ApplyPlan, CameraListComparison) {
    States s;
    // Slots beyond the count do not count.
    States::SetIpCamera(s.copy->cameraList.Cameras[5], u"Spare", u"rtsp://x");
    EXPECT_FALSE(s.Plan().cameraListChanged);
    // A web camera's device path only counts for device number -1.
    auto& web = s.copy->cameraList.Cameras[1];
    auto& webRunning = s.running->cameraList.Cameras[1];
    web = {};
    platform::CopyToFixed(web.Name, u"Hall");
    web.Source.Web.CaptureDeviceNumber = 2;
    webRunning = web;
    platform::CopyToFixed(web.Source.Web.DevicePath, u"/dev/video2");
    EXPECT_FALSE(s.Plan().cameraListChanged);
    web.Source.Web.CaptureDeviceNumber = webRunning.Source.Web.CaptureDeviceNumber = -1;
    EXPECT_TRUE(s.Plan().cameraListChanged);
    EXPECT_EQ(s.Plan().groups, Groups{SettingsGroup::CameraList});
}

struct CameraCase : States {
    ApplyPlan plan;
    ui::CameraDecision Decide(int index, bool running) {
        plan = Plan();
        return ui::DecideCurrentCamera(plan, running_list_slot(index), index, running, copy->cameraList);
    }
    const settings::CameraDescriptor& running_list_slot(int index) { return this->running->cameraList.Cameras[index]; }
};

TEST(CurrentCamera, RenamedCamera) {
    CameraCase c;
    platform::CopyToFixed(c.copy->cameraList.Cameras[0].Name, u"Front door");
    ui::CameraDecision d = c.Decide(0, false);
    EXPECT_EQ(d.outcome, CameraOutcome::FoundIdle);
    EXPECT_EQ(d.name, QStringLiteral("Front door"));
    EXPECT_FALSE(d.indexMoved);
    d = c.Decide(0, true);
    EXPECT_EQ(d.outcome, CameraOutcome::FoundRunning);
    EXPECT_EQ(d.index, 0);
}

TEST(CurrentCamera, MovedCameraSavesItsNewIndex) {
    CameraCase c;
    std::swap(c.copy->cameraList.Cameras[0], c.copy->cameraList.Cameras[1]);
    const ui::CameraDecision d = c.Decide(1, false);
    EXPECT_EQ(d.outcome, CameraOutcome::FoundIdle);
    EXPECT_EQ(d.index, 0);
    EXPECT_TRUE(d.indexMoved);
}

TEST(CurrentCamera, NewUrlFallsBackToTheSameName) {
    CameraCase c;
    platform::CopyToFixed(c.copy->cameraList.Cameras[1].Source.Url, u"rtsp://10.0.0.7/live");
    ui::CameraDecision d = c.Decide(1, true);
    EXPECT_EQ(d.outcome, CameraOutcome::Lost);
    EXPECT_EQ(d.index, 1);
    // Renamed and moved elsewhere: nothing to fall back to.
    platform::CopyToFixed(c.copy->cameraList.Cameras[1].Name, u"Yard");
    d = c.Decide(1, true);
    EXPECT_EQ(d.outcome, CameraOutcome::Lost);
    EXPECT_EQ(d.index, -1);
}

TEST(CurrentCamera, EmptyListOrNoCurrentCamera) {
    CameraCase c;
    c.copy->cameraList.Count = 0;
    EXPECT_EQ(c.Decide(0, true).outcome, CameraOutcome::Deselect);
    c.plan = c.Plan();
    EXPECT_EQ(ui::DecideCurrentCamera(c.plan, c.running->cameraList.Cameras[0], -1, false, c.copy->cameraList).outcome,
              CameraOutcome::Unaffected);
    // An unchanged list leaves the camera alone.
    c.copy = std::make_unique<settings::SettingsState>(*c.running);
    EXPECT_EQ(c.Decide(0, true).outcome, CameraOutcome::Unaffected);
}

}  // namespace
