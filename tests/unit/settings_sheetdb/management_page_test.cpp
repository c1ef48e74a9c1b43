// The "Управление" page and its dialogs on the offscreen platform.

#include "app/ui/management_page.h"
#include "app/ui/management_password_dialog.h"
#include "app/ui/station_dialog.h"
#include "tests/support/widget_driver.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace {

using testsupport::Child;

TEST(ManagementPageTest, ControlsEditTheCopy) {
    settings::SettingsState copy{};
    copy.management.TcpPort = 21077;
    copy.management.UdpPort = 21077;
    ui::ManagementPage page(copy, nullptr);
    std::optional<QString> nextStation;
    page.askStation = [&](const QString&) { return nextStation; };
    page.askPassword = [] { return std::optional<QString>(QStringLiteral("topsecret")); };

    auto* allow = Child<QCheckBox>(page, "AllowManagement");
    auto* tcp = Child<QLineEdit>(page, "TcpPort");
    auto* listed = Child<QRadioButton>(page, "AcceptConnectionFlag");
    auto* add = Child<QPushButton>(page, "addStation");
    auto* remove = Child<QPushButton>(page, "removeStation");
    auto* stations = Child<QListWidget>(page, "stations");
    auto* udp = Child<QCheckBox>(page, "AllowUdpLocation");
    auto* udpPort = Child<QLineEdit>(page, "UdpPort");
    EXPECT_EQ(tcp->text(), QStringLiteral("21077"));
    EXPECT_EQ(tcp->maxLength(), 5);
    EXPECT_FALSE(tcp->isEnabled());

    allow->click();
    EXPECT_EQ(copy.management.AllowManagement, 1);
    EXPECT_TRUE(tcp->isEnabled());
    EXPECT_FALSE(add->isEnabled());
    EXPECT_FALSE(udpPort->isEnabled());

    tcp->selectAll();
    QTest::keyClicks(tcp, QStringLiteral("4x0000"));
    EXPECT_EQ(tcp->text(), QStringLiteral("40000"));  // letters are refused
    EXPECT_EQ(copy.management.TcpPort, 21077u);
    tcp->clear();
    EXPECT_EQ(copy.management.TcpPort, 0u);

    listed->click();
    EXPECT_TRUE(add->isEnabled());
    nextStation = QStringLiteral(" station-1 ");
    add->click();
    nextStation = QStringLiteral("STATION-1");
    add->click();
    EXPECT_EQ(copy.stations, QStringList({QStringLiteral("station-1")}));
    EXPECT_EQ(stations->currentRow(), 0);
    EXPECT_TRUE(remove->isEnabled());
    remove->click();
    EXPECT_TRUE(copy.stations.isEmpty());
    EXPECT_FALSE(remove->isEnabled());

    udp->click();
    EXPECT_TRUE(udpPort->isEnabled());
    Child<QPushButton>(page, "Password")->click();
    EXPECT_EQ(QString::fromUtf16(copy.management.Password), QStringLiteral("topsecret"));
    // The password appears in no control of the page.
    for (QLineEdit* edit : page.findChildren<QLineEdit*>()) EXPECT_NE(edit->text(), QStringLiteral("topsecret"));
}

TEST(ManagementPageTest, StationDialogTakesTheTrimmedEntry) {
    ui::StationDialog dialog(QString(), nullptr);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Станция сети"));
    auto* ok = Child<QPushButton>(dialog, "ok");
    auto* edit = Child<QLineEdit>(dialog, "station");
    EXPECT_EQ(edit->maxLength(), 255);
    EXPECT_FALSE(ok->isEnabled());
    QTest::keyClicks(edit, QStringLiteral("   "));
    EXPECT_FALSE(ok->isEnabled());
    QTest::keyClicks(edit, QStringLiteral("10.1.1.1 "));
    EXPECT_TRUE(ok->isEnabled());
    EXPECT_EQ(dialog.Entry(), QStringLiteral("10.1.1.1"));
}

TEST(ManagementPageTest, PasswordDialogKeepsOpenOnMismatch) {
    ui::ManagementPasswordDialog dialog(nullptr);
    dialog.show();
    auto* first = Child<QLineEdit>(dialog, "password");
    auto* second = Child<QLineEdit>(dialog, "passwordAgain");
    EXPECT_EQ(first->echoMode(), QLineEdit::Password);
    EXPECT_EQ(second->echoMode(), QLineEdit::Password);
    EXPECT_EQ(first->maxLength(), 15);
    QTest::keyClicks(first, QStringLiteral("abc"));
    QTest::keyClicks(second, QStringLiteral("abd"));
    Child<QPushButton>(dialog, "ok")->click();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(Child<QLabel>(dialog, "notice")->text(), QStringLiteral("Пароли не совпадают! Попробуйте еще раз."));
    second->clear();
    QTest::keyClicks(second, QStringLiteral("abc"));
    Child<QPushButton>(dialog, "ok")->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.Password(), QStringLiteral("abc"));
}

}  // namespace
