// The rules of the mail, alerts and formats settings pages at their limits.

#include "app/ui/actions_page_rules.h"
#include "app/ui/formats_page_rules.h"
#include "app/ui/mail_page_rules.h"
#include "platform/fixedtext.h"
#include "platform/paths.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <memory>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace {

using platform::FromFixed;

TEST(MailPageRules, PortIsEmptyAtZeroAndDroppedFrom65536On) {
    settings::SmtpSettings smtp{};
    ui::MailPageRules rules(smtp);
    EXPECT_EQ(rules.PortText(), QString());
    EXPECT_EQ(rules.SetPort(QStringLiteral("65535")), std::nullopt);
    EXPECT_EQ(smtp.SMTPServerPort, 65535u);
    EXPECT_EQ(rules.PortText(), QStringLiteral("65535"));
    EXPECT_EQ(rules.SetPort(QStringLiteral("65536")), QString());
    EXPECT_EQ(smtp.SMTPServerPort, 0u);
    rules.SetPort(QStringLiteral("587"));
    EXPECT_EQ(rules.SetPort(QStringLiteral("99999999999999999999")), QString());
    EXPECT_EQ(smtp.SMTPServerPort, 0u);
    rules.SetPort(QStringLiteral("25"));
    EXPECT_EQ(rules.SetPort(QString()), std::nullopt);
    EXPECT_EQ(smtp.SMTPServerPort, 0u);
}

TEST(MailPageRules, FieldsAreTrimmedAndCutExceptThePassword) {
    settings::SmtpSettings smtp{};
    ui::MailPageRules rules(smtp);
    EXPECT_EQ(rules.SetServer(QStringLiteral("  smtp.example.org ")), QStringLiteral("smtp.example.org"));
    EXPECT_EQ(FromFixed(smtp.SMTPServer), QStringLiteral("smtp.example.org"));
    EXPECT_EQ(rules.SetPassword(QStringLiteral(" secret ")), QStringLiteral(" secret "));
    EXPECT_EQ(rules.SetServer(QString(300, u'a')).size(), 255);
    EXPECT_EQ(rules.SetOriginator(QString(400, u'b')).size(), 319);
    EXPECT_EQ(rules.SetPassword(QString(300, u'c')).size(), 254);
    EXPECT_EQ(FromFixed(smtp.SendPassword).size(), 254);
    EXPECT_EQ(rules.SetRecipients(QString(3000, u'd')).size(), 2047);
    rules.SetUseSsl(true);
    EXPECT_EQ(smtp.SMTPUseSSL, 1);
}

TEST(MailPageRules, TestNeedsServerSenderAndWithAuthenticationAccountAndPassword) {
    settings::SmtpSettings smtp{};
    ui::MailPageRules rules(smtp);
    rules.SetServer(QStringLiteral("   "));
    rules.SetOriginator(QStringLiteral("camera@example.org"));
    EXPECT_FALSE(rules.TestEnabled());
    rules.SetServer(QStringLiteral("smtp"));
    EXPECT_TRUE(rules.TestEnabled());
    rules.SetAuthRequired(true);
    EXPECT_TRUE(rules.AuthFieldsEnabled());
    EXPECT_FALSE(rules.TestEnabled());
    rules.SetUserName(QStringLiteral("guard"));
    EXPECT_FALSE(rules.TestEnabled());
    rules.SetPassword(QStringLiteral("x"));
    EXPECT_TRUE(rules.TestEnabled());
    rules.SetOriginator(QString());
    EXPECT_FALSE(rules.TestEnabled());

    EXPECT_EQ(ui::TestRecipientsText(QStringLiteral("  a@b, c@d ")), QStringLiteral("a@b, c@d"));
    EXPECT_FALSE(ui::TestRecipientsAccepted(ui::TestRecipientsText(QStringLiteral("  "))));
    // A failure without a reason is still reported as a failure.
    EXPECT_TRUE(ui::ReportTestMail(false, QString()).failed);
    EXPECT_FALSE(ui::ReportTestMail(false, QString()).text.isEmpty());
    EXPECT_EQ(ui::ReportTestMail(true, QString()).text, QStringLiteral("Тестовое письмо отправлено!"));
}

struct ActionsCopy {
    settings::Alerts alerts{};
    settings::UPActionSet unrecognized{};
};

TEST(ActionsPageRules, EachChoiceEditsItsOwnRecordAndShowsItsControls) {
    auto copy = std::make_unique<ActionsCopy>();
    ui::ActionsPageRules rules(copy->alerts, copy->unrecognized);
    EXPECT_FALSE(rules.RecordShown());
    rules.SelectList(4);
    EXPECT_FALSE(rules.RecordShown());
    rules.SelectList(2);
    ASSERT_TRUE(rules.AlertControlsShown());
    EXPECT_EQ(rules.RowSound(), actions::BuiltInSound::RedList);
    EXPECT_FALSE(rules.WavControlsEnabled());
    rules.SetPlayWav(true);
    EXPECT_TRUE(rules.WavControlsEnabled());
    EXPECT_FALSE(rules.SpeechTestEnabled());
    rules.SetSpeech(QStringLiteral("%ФИО%"));
    EXPECT_TRUE(rules.SpeechTestEnabled());
    EXPECT_EQ(rules.SetSpeech(QString(300, u's')).size(), 255);
    rules.SetScript(true);
    rules.SetScriptKind(ui::ScriptKind::JScript);
    EXPECT_EQ(rules.SetScriptFile(QString(300, u'f')).size(), 259);
    EXPECT_TRUE(rules.ScriptControlsShown());
    EXPECT_FALSE(rules.MailButtonShown());
    EXPECT_EQ(copy->alerts.Items[2].ScriptType, 1);
    EXPECT_EQ(copy->alerts.Items[2].PlayWav, 1);
    EXPECT_EQ(copy->alerts.Items[1].PlayWav, 0);
    EXPECT_EQ(rules.MailFamily(), actions::TemplateFamily::RecognizedMail);

    rules.SelectEvent(ui::AlertEvent::Unrecognized);
    EXPECT_TRUE(rules.RecordShown());
    EXPECT_FALSE(rules.AlertControlsShown());
    EXPECT_FALSE(rules.ScriptControlsShown());
    rules.SetSendMail(true);
    rules.SetScriptFile(QStringLiteral("/opt/scripts/alarm.vbs"));
    EXPECT_TRUE(rules.MailButtonShown());
    EXPECT_EQ(copy->unrecognized.SendMail, 1);
    EXPECT_EQ(FromFixed(copy->unrecognized.ScriptFile), QStringLiteral("/opt/scripts/alarm.vbs"));
    EXPECT_EQ(rules.MailFamily(), actions::TemplateFamily::UnrecognizedMail);
    // An unknown stored type is shown as the executable kind.
    copy->unrecognized.ScriptType = 7;
    EXPECT_EQ(rules.CurrentScriptKind(), ui::ScriptKind::Executable);
    EXPECT_EQ(ui::ScriptFileFilter(ui::ScriptKind::JScript), QStringLiteral("JScript (*.js)"));
    EXPECT_EQ(ui::ScriptFileFilter(ui::ScriptKind::Executable), QStringLiteral("Все файлы (*)"));
    EXPECT_EQ(ui::ScriptCheckArguments(QStringLiteral("a.js"), ui::ScriptKind::JScript),
              (QStringList{QStringLiteral("--check"), QStringLiteral("a.js"), QStringLiteral("1")}));
}

TEST(ActionsPageRules, MissingOutputsAreNamed) {
    EXPECT_EQ(ui::MissingSoundNote(true), std::nullopt);
    EXPECT_EQ(ui::MissingSoundNote(false), QStringLiteral("Отсутствуют устройства воспроизведения звука"));
    EXPECT_EQ(ui::MissingSpeechNote(false, false), QStringLiteral("Microsoft Speech не поддерживается"));
    EXPECT_EQ(ui::MissingSpeechNote(true, false), QStringLiteral("Отсутствует русский голос Microsoft Speech"));
    EXPECT_EQ(ui::MissingSpeechNote(true, true), std::nullopt);
}

TEST(MailParametersRules, OkNeedsSubjectAndBodyAndTheBodyKeepsCrLfWithinItsLimit) {
    ui::MailParametersRules rules(actions::TemplateFamily::UnrecognizedMail, {});
    EXPECT_FALSE(rules.OkEnabled());
    rules.SetSubject(QStringLiteral("Тревога"));
    EXPECT_FALSE(rules.OkEnabled());
    ASSERT_TRUE(rules.SetBody(QStringLiteral("a\nb")));
    EXPECT_TRUE(rules.OkEnabled());
    EXPECT_EQ(rules.Parameters().body, QStringLiteral("a\r\nb"));
    EXPECT_EQ(rules.BodyShown(), QStringLiteral("a\nb"));
    // 1024 line breaks are 2048 units in the record: one too many, and the old body stays.
    EXPECT_FALSE(rules.SetBody(QString(1024, u'\n')));
    EXPECT_EQ(rules.Parameters().body, QStringLiteral("a\r\nb"));
    EXPECT_TRUE(rules.SetBody(QString(1023, u'\n') + u'x'));
    EXPECT_EQ(rules.SetSubject(QString(2000, u's')).size(), 1023);
    EXPECT_EQ(rules.SetRecipients(QStringLiteral("  a@b  ")), QStringLiteral("a@b"));

    rules.SetStandard();
    EXPECT_EQ(rules.Parameters().subject, QStringLiteral("Персона не распознана"));
    EXPECT_TRUE(rules.Parameters().body.startsWith(QStringLiteral("%ДАТА%  %ВРЕМЯ%\r\n\r\nКамера:  %КАМЕРА%")));
    EXPECT_FALSE(rules.Parameters().body.contains(QStringLiteral("\r\r")));

    auto alerts = std::make_unique<settings::Alerts>();
    ui::TakeMailParameters(alerts->Items[3], rules.Parameters());
    EXPECT_EQ(ui::MailParametersOf(alerts->Items[3]).body, rules.Parameters().body);
    EXPECT_EQ(ui::MailParametersOf(alerts->Items[3]).recipients, QStringLiteral("a@b"));
}

struct FormatsCopy {
    settings::CsvFormat csv{};
    settings::ScriptFormat recognized{};
    settings::ScriptFormat unrecognized{};
};

TEST(FormatsPageRules, LimitsOfTheLogAndTheScriptTimeOut) {
    FormatsCopy copy;
    copy.recognized.Timeout = -1;
    ui::FormatsPageRules rules(copy.csv, copy.recognized, copy.unrecognized);
    EXPECT_EQ(rules.SetSizeLimit(QStringLiteral("0")), std::nullopt);
    EXPECT_EQ(copy.csv.SizeLimitMB, 1);
    EXPECT_EQ(rules.SetSizeLimit(QStringLiteral("21")), QStringLiteral("20"));
    EXPECT_EQ(copy.csv.SizeLimitMB, 20);
    rules.SetSizeLimit(QString());
    EXPECT_EQ(copy.csv.SizeLimitMB, 1);
    rules.SetRotates(QStringLiteral("0"));
    EXPECT_EQ(copy.csv.RotatesNumber, 1);
    rules.SetEncode(5);
    rules.SetEncode(2);
    rules.SetEncode(-1);
    EXPECT_EQ(copy.csv.Encode, 2);

    EXPECT_FALSE(rules.SecondsShown());
    EXPECT_EQ(rules.SetTimeoutSeconds(QStringLiteral("30")), std::nullopt);
    EXPECT_EQ(copy.recognized.Timeout, -1);
    rules.SetTimeoutEnabled(true);
    EXPECT_EQ(copy.recognized.Timeout, 0);
    rules.SetTimeoutSeconds(QStringLiteral("99999"));
    EXPECT_EQ(copy.recognized.Timeout, 99999);
    rules.SetTimeoutEnabled(true);  // already on: the seconds stay
    EXPECT_EQ(copy.recognized.Timeout, 99999);
    rules.SelectEvent(ui::AlertEvent::Unrecognized);
    EXPECT_EQ(rules.SecondsText(), QStringLiteral("0"));
    rules.SetTimeoutEnabled(false);
    rules.SetImageFormat(2);
    EXPECT_EQ(copy.unrecognized.Timeout, -1);
    EXPECT_EQ(copy.unrecognized.ImgFileFormat, 2);
    EXPECT_EQ(copy.recognized.Timeout, 99999);
}

TEST(FormatsPageRules, FolderChoices) {
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    FormatsCopy copy;
    ui::FormatsPageRules rules(copy.csv, copy.recognized, copy.unrecognized);
    EXPECT_TRUE(rules.LogFilePath().endsWith(QDir::toNativeSeparators(QStringLiteral("/Recgnzd0.txt"))));
    EXPECT_TRUE(rules.LogFilePath().startsWith(QDir::toNativeSeparators(platform::ProgramDataFolder())));

    EXPECT_EQ(rules.ChooseFolder(temp.path() + u'/'), ui::FolderChoice::Taken);
    EXPECT_EQ(FromFixed(copy.csv.Folder), temp.path());
    EXPECT_EQ(rules.LogFilePath(), QDir::toNativeSeparators(temp.path() + QStringLiteral("/Recgnzd0.txt")));
    EXPECT_EQ(rules.ChooseFolder(QStringLiteral("relative/folder")), ui::FolderChoice::Refused);
    EXPECT_EQ(rules.ChooseFolder(temp.path() + QStringLiteral("/missing")), ui::FolderChoice::Refused);
    // Too long to keep: refused rather than cut into another folder's name.
    QString deep = temp.path();
    while (deep.size() <= 271) deep += QStringLiteral("/") + QString(40, u'd');
    ASSERT_TRUE(QDir().mkpath(deep));
    EXPECT_EQ(rules.ChooseFolder(deep), ui::FolderChoice::Refused);
    EXPECT_EQ(FromFixed(copy.csv.Folder), temp.path());

    // The program data folder itself means the default.
    if (QDir().mkpath(platform::ProgramDataFolder())) {
        EXPECT_EQ(rules.ChooseFolder(platform::ProgramDataFolder() + u'/'), ui::FolderChoice::Default);
        EXPECT_EQ(FromFixed(copy.csv.Folder), QString());
    }
    rules.ChooseFolder(temp.path());
    rules.SetDefaultFolder();
    EXPECT_EQ(FromFixed(copy.csv.Folder), QString());
}

}  // namespace
