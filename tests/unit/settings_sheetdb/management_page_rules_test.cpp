// Rules of the management page: enabling, port fields, the station list and the password entry.

#include "app/ui/management_page_rules.h"

#include <gtest/gtest.h>

namespace {

using ui::AcceptStations;
using ui::ManagementPageRules;

TEST(ManagementPageRulesTest, PortFieldsConvertAtTheirLimits) {
    EXPECT_EQ(ui::PortFromFieldText(QStringLiteral("0")), 0u);
    EXPECT_EQ(ui::PortFromFieldText(QString()), 0u);
    EXPECT_EQ(ui::PortFromFieldText(QStringLiteral("abc")), 0u);
    EXPECT_EQ(ui::PortFromFieldText(QStringLiteral("-5")), 0u);
    EXPECT_EQ(ui::PortFromFieldText(QStringLiteral("1")), 1u);
    EXPECT_EQ(ui::PortFromFieldText(QStringLiteral("32767")), 32767u);
    EXPECT_EQ(ui::PortFromFieldText(QStringLiteral("32768")), 21077u);
    EXPECT_EQ(ui::PortFromFieldText(QStringLiteral("65535")), 21077u);
    EXPECT_EQ(ui::PortFromFieldText(QStringLiteral("99999")), 21077u);
    // Only five digits are taken, as the field holds no more.
    EXPECT_EQ(ui::PortFromFieldText(QStringLiteral("123456")), 12345u);

    settings::SettingsState copy{};
    ManagementPageRules rules(copy);
    rules.SetTcpPortText(QStringLiteral("40000"));
    rules.SetUdpPortText(QStringLiteral("8080"));
    EXPECT_EQ(copy.management.TcpPort, 21077u);
    EXPECT_EQ(copy.management.UdpPort, 8080u);
}

TEST(ManagementPageRulesTest, EnablingFollowsTheThreeSwitches) {
    settings::SettingsState copy{};
    ManagementPageRules rules(copy);
    copy.stations = {QStringLiteral("alpha")};

    auto e = rules.Enabling(0);
    EXPECT_FALSE(e.tcpPort || e.password || e.acceptChoice || e.stationList || e.addStation || e.changeStation ||
                 e.udpLocation || e.udpPort);

    rules.SetAllowManagement(true);
    e = rules.Enabling(0);
    EXPECT_TRUE(e.tcpPort && e.password && e.acceptChoice && e.udpLocation);
    EXPECT_FALSE(e.stationList || e.addStation || e.changeStation || e.udpPort);

    rules.SetAcceptStations(AcceptStations::OnlyListed);
    rules.SetAllowUdpLocation(true);
    e = rules.Enabling(0);
    EXPECT_TRUE(e.stationList && e.addStation && e.changeStation && e.udpPort);
    EXPECT_EQ(copy.management.AcceptConnectionFlag, 1);
    EXPECT_FALSE(rules.Enabling(-1).changeStation);
    EXPECT_FALSE(rules.Enabling(1).changeStation);

    // Switching the server off disables everything but keeps the values for the apply step.
    rules.SetAllowManagement(false);
    e = rules.Enabling(0);
    EXPECT_FALSE(e.udpPort || e.stationList);
    EXPECT_EQ(copy.management.AllowUdpLocation, 1);
}

TEST(ManagementPageRulesTest, StationListCommands) {
    settings::SettingsState copy{};
    ManagementPageRules rules(copy);
    EXPECT_EQ(rules.AddStation(QStringLiteral("  host-a ")), 0);
    EXPECT_EQ(rules.AddStation(QStringLiteral("10.0.0.2")), 1);
    EXPECT_EQ(rules.AddStation(QStringLiteral("   ")), -1);
    // Equal without regard to case: only selected.
    EXPECT_EQ(rules.AddStation(QStringLiteral("HOST-A")), 0);
    EXPECT_EQ(copy.stations, QStringList({QStringLiteral("host-a"), QStringLiteral("10.0.0.2")}));

    EXPECT_EQ(rules.ChangeStation(1, QStringLiteral(" host-b")), 1);
    EXPECT_EQ(copy.stations[1], QStringLiteral("host-b"));
    // A change into the case of the same entry is taken.
    EXPECT_EQ(rules.ChangeStation(1, QStringLiteral("HOST-B")), 1);
    EXPECT_EQ(copy.stations[1], QStringLiteral("HOST-B"));
    // A change into another listed entry leaves one of them.
    EXPECT_EQ(rules.ChangeStation(1, QStringLiteral("Host-A")), 0);
    EXPECT_EQ(copy.stations, QStringList({QStringLiteral("host-a")}));
    EXPECT_EQ(rules.ChangeStation(5, QStringLiteral("x")), -1);

    rules.AddStation(QStringLiteral("b"));
    rules.AddStation(QStringLiteral("c"));
    EXPECT_EQ(rules.RemoveStation(2), 1);
    EXPECT_EQ(rules.RemoveStation(0), 0);
    EXPECT_EQ(rules.RemoveStation(0), -1);
    EXPECT_TRUE(copy.stations.isEmpty());
    EXPECT_EQ(rules.RemoveStation(0), -1);

    const QString longName(300, u'x');
    EXPECT_EQ(ui::StationEntryText(longName).size(), 255);
    EXPECT_FALSE(ui::StationEntryAcceptable(QStringLiteral(" \t ")));
}

TEST(ManagementPageRulesTest, PasswordIsCutAndZeroFilled) {
    settings::SettingsState copy{};
    ManagementPageRules rules(copy);
    rules.SetPassword(QStringLiteral("0123456789abcdefXYZ"));
    EXPECT_EQ(QString::fromUtf16(copy.management.Password), QStringLiteral("0123456789abcde"));
    rules.SetPassword(QStringLiteral("пароль"));
    EXPECT_EQ(QString::fromUtf16(copy.management.Password), QStringLiteral("пароль"));
    EXPECT_EQ(copy.management.Password[7], u'\0');
    rules.SetPassword(QString());
    EXPECT_EQ(copy.management.Password[0], u'\0');

    EXPECT_EQ(ui::CheckPasswordEntry(QStringLiteral("a"), QStringLiteral("a")), ui::PasswordEntry::Accepted);
    EXPECT_EQ(ui::CheckPasswordEntry(QStringLiteral("a"), QStringLiteral("A")), ui::PasswordEntry::Mismatch);
}

}  // namespace
