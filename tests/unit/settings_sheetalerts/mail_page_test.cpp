// The mail settings page offscreen: its fields reach the copy, and the test mail runs off the
// user-interface thread with the settings as they were when it started.

#include "app/ui/mail_page.h"
#include "app/ui/mail_parameters_dialog.h"
#include "platform/fixedtext.h"
#include "tests/support/widget_driver.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <atomic>
#include <memory>
#include <thread>

namespace {

using testsupport::Child;

TEST(MailPage, FieldsReachTheCopyAndTheTestMailDoesNotBlock) {
    auto copy = std::make_unique<settings::SettingsState>();
    copy->smtp.SMTPServerPort = 0;
    std::atomic<bool> release{false};
    std::thread::id sentOn;
    QString sentServer, sentTo;
    std::optional<ui::TestMailReport> reported;
    ui::MailPage::Services services{[&](const settings::SmtpSettings& smtp, const QString& to, platform::Event*) {
                                        sentOn = std::this_thread::get_id();
                                        sentServer = platform::FromFixed(smtp.SMTPServer);
                                        sentTo = to;
                                        while (!release) std::this_thread::yield();
                                        return actions::MailOutcome{false, QStringLiteral("550 refused")};
                                    },
                                    [](QWidget*, const QString& recipients) {
                                        return std::optional<QString>(recipients + QStringLiteral(", b@c"));
                                    },
                                    [&](QWidget*, const ui::TestMailReport& report) { reported = report; }};
    ui::MailPage page(*copy, services);

    auto* port = Child<QLineEdit>(page, "SMTPServerPort");
    EXPECT_EQ(port->text(), QString());
    QTest::keyClicks(port, QStringLiteral("65536"));
    EXPECT_EQ(port->text(), QString());
    EXPECT_EQ(copy->smtp.SMTPServerPort, 0u);

    auto* test = Child<QPushButton>(page, "TestMail");
    auto* password = Child<QLineEdit>(page, "SendPassword");
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
    QTest::keyClicks(Child<QLineEdit>(page, "SMTPServer"), QStringLiteral(" smtp.local"));
    QTest::keyClicks(Child<QLineEdit>(page, "Originator"), QStringLiteral("cam@local"));
    QTest::keyClicks(Child<QLineEdit>(page, "Recepients"), QStringLiteral("a@b"));
    EXPECT_EQ(platform::FromFixed(copy->smtp.SMTPServer), QStringLiteral("smtp.local"));
    EXPECT_TRUE(test->isEnabled());
    Child<QCheckBox>(page, "SMTPAuthRequired")->setChecked(true);
    EXPECT_TRUE(password->isEnabled());
    EXPECT_FALSE(test->isEnabled());
    Child<QCheckBox>(page, "SMTPAuthRequired")->setChecked(false);
    EXPECT_FALSE(password->isEnabled());

    test->click();
    // The window goes on while the mail is under way, and a second test waits for the first.
    EXPECT_TRUE(page.TestRunning());
    EXPECT_FALSE(test->isEnabled());
    QTest::keyClicks(Child<QLineEdit>(page, "SMTPServer"), QStringLiteral("x"));
    release = true;
    EXPECT_TRUE(QTest::qWaitFor([&] { return reported.has_value(); }, 5000));
    EXPECT_NE(sentOn, std::this_thread::get_id());
    EXPECT_EQ(sentServer, QStringLiteral("smtp.local"));
    EXPECT_EQ(sentTo, QStringLiteral("a@b, b@c"));
    ASSERT_TRUE(reported);
    EXPECT_TRUE(reported->failed);
    EXPECT_EQ(reported->text, QStringLiteral("550 refused"));
    EXPECT_FALSE(page.TestRunning());
    EXPECT_TRUE(test->isEnabled());
}

TEST(MailParametersDialog, OkFollowsSubjectAndBodyAndStandardTextsFillBoth) {
    ui::MailParametersDialog dialog(actions::TemplateFamily::RecognizedMail, {QStringLiteral("a@b"), {}, {}});
    auto* ok = Child<QPushButton>(dialog, "Standard")
                   ->parentWidget()
                   ->findChild<QDialogButtonBox*>()
                   ->button(QDialogButtonBox::Ok);
    EXPECT_FALSE(ok->isEnabled());
    QTest::keyClicks(Child<QLineEdit>(dialog, "SubjectFormat"), QStringLiteral("Alarm"));
    EXPECT_FALSE(ok->isEnabled());
    Child<QPlainTextEdit>(dialog, "BodyFormat")->setPlainText(QStringLiteral("a\nb"));
    EXPECT_TRUE(ok->isEnabled());
    EXPECT_EQ(dialog.Parameters().body, QStringLiteral("a\r\nb"));
    // Too long for the record with CR LF breaks: the last body that fitted stays.
    Child<QPlainTextEdit>(dialog, "BodyFormat")->setPlainText(QString(1500, u'\n'));
    EXPECT_EQ(dialog.Parameters().body, QStringLiteral("a\r\nb"));
    EXPECT_EQ(Child<QPlainTextEdit>(dialog, "BodyFormat")->toPlainText(), QStringLiteral("a\nb"));
    Child<QPushButton>(dialog, "Standard")->click();
    EXPECT_EQ(Child<QLineEdit>(dialog, "SubjectFormat")->text(), QStringLiteral("Распознан %ФИО%"));
    EXPECT_TRUE(dialog.Parameters().body.contains(QStringLiteral("\r\nСписок:  %СПИСОК%\r\n")));
    EXPECT_EQ(dialog.Parameters().recipients, QStringLiteral("a@b"));
    EXPECT_TRUE(ok->isEnabled());
}

}  // namespace
