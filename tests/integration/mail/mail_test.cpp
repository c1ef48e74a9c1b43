// Mail against real SMTP servers (scripts/test-services.d/smtp.sh): what arrives is read back
// with Python's email package.

#include "app/actions/action_queue.h"
#include "app/actions/mail_addresses.h"
#include "app/actions/mail_worker.h"
#include "platform/fixedtext.h"
#include "platform/hostinfo.h"
#include "tests/unit/actions_queue/queue_test_support.h"

#include <gtest/gtest.h>

#include <QDirIterator>
#include <QElapsedTimer>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>

#include <opencv2/core.hpp>

#include <cstdio>
#include <thread>

namespace {

using namespace std::chrono_literals;
using actions::ActionType;
using actions::MailContent;

struct Servers {
    uint16_t plain, starttls, tls, wrongName, slow, drop;
    QString folder, ca, user, password;
};

std::optional<Servers> TestServers() {
    const QString folder = qEnvironmentVariable("OSTROVID_TEST_SMTP_DIR");
    if (folder.isEmpty()) return std::nullopt;
    auto port = [](const char* name) { return uint16_t(qEnvironmentVariableIntValue(name)); };
    return Servers{port("OSTROVID_TEST_SMTP_PLAIN_PORT"),
                   port("OSTROVID_TEST_SMTP_STARTTLS_PORT"),
                   port("OSTROVID_TEST_SMTP_TLS_PORT"),
                   port("OSTROVID_TEST_SMTP_WRONGNAME_PORT"),
                   port("OSTROVID_TEST_SMTP_SLOW_PORT"),
                   port("OSTROVID_TEST_SMTP_DROP_PORT"),
                   folder,
                   qEnvironmentVariable("OSTROVID_TEST_SMTP_CA"),
                   qEnvironmentVariable("OSTROVID_TEST_SMTP_USER"),
                   qEnvironmentVariable("OSTROVID_TEST_SMTP_PASSWORD")};
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > limit.count()) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// A loopback port nobody listens on.
uint16_t ClosedPort() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return server.serverPort();
}

class MailTest : public queuetest::PrivateFolders {
protected:
    void SetUp() override {
        PrivateFolders::SetUp();
        std::optional<Servers> found = TestServers();
        if (!found) GTEST_SKIP() << "no SMTP test servers (scripts/test-services.d/smtp.sh)";
        servers = *found;
        qputenv(actions::kMailCaFileVariable, QFile::encodeName(servers.ca));
    }
    void TearDown() override {
        qunsetenv(actions::kMailCaFileVariable);
        PrivateFolders::TearDown();
    }

    settings::SmtpSettings Smtp(uint32_t port, bool ssl = false) const {
        settings::SmtpSettings smtp{};
        platform::CopyToFixed(smtp.SMTPServer, u"127.0.0.1");
        smtp.SMTPServerPort = port;
        smtp.SMTPUseSSL = ssl;
        platform::CopyToFixed(smtp.Originator, u"Остров Видео <ostrovid@example.org>");
        return smtp;
    }
    settings::SmtpSettings Authenticated(const QString& password) const {
        settings::SmtpSettings smtp = Smtp(servers.starttls, true);
        smtp.SMTPAuthRequired = 1;
        platform::CopyToFixed(smtp.SendUserName, servers.user);
        platform::CopyToFixed(smtp.SendPassword, password);
        return smtp;
    }
    // A recipient of its own, so that each test finds its messages in a folder of their own.
    static QString NewAddress() {
        return QStringLiteral("t%1@example.org").arg(platform::NewGuidText().remove(u'{').remove(u'}').toLower());
    }
    QStringList Received(const QString& address) const {
        QStringList files;
        QDirIterator it(servers.folder + u'/' + address, {QStringLiteral("*.eml")}, QDir::Files);
        while (it.hasNext()) files.append(it.next());
        files.sort();
        return files;
    }
    QString WaitForMail(const QString& address, std::chrono::milliseconds limit = 10s) const {
        WaitFor([&] { return !Received(address).isEmpty(); }, limit);
        const QStringList files = Received(address);
        return files.isEmpty() ? QString() : files.first();
    }
    static QJsonObject Parse(const QString& eml) {
        QProcess parser;
        parser.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(MAIL_PARSER), eml});
        parser.waitForFinished(30000);
        return QJsonDocument::fromJson(parser.readAllStandardOutput()).object();
    }
    static QJsonObject Facts(const QString& eml) {
        QFile file(QString(eml).replace(QStringLiteral(".eml"), QStringLiteral(".json")));
        return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject{};
    }
    static actions::TemporaryFile Jpeg(int width, int height) {
        cv::Mat picture(height, width, CV_8UC3, cv::Scalar(40, 120, 200));
        std::optional<actions::TemporaryFile> file =
            actions::SaveTemporaryImage(picture, actions::ImageFileFormat::Jpeg);
        EXPECT_TRUE(file.has_value());
        return std::move(*file);
    }
    static QSize DecodedSize(const QJsonValue& attachment) {
        return QImage::fromData(QByteArray::fromBase64(attachment[u"data"].toString().toLatin1()), "JPEG").size();
    }

    Servers servers{};
};

TEST_F(MailTest, HeadersBodyRecipientsAndPicturesArriveDecoded) {
    const QString first = NewAddress(), second = NewAddress(), third = NewAddress();
    actions::TemporaryFile chip = Jpeg(150, 150), frame = Jpeg(640, 480);
    const QString subject = QStringLiteral("Распознана персона: Иванов Иван Иванович, камера «Вход №1», 98,5 %");
    const QString body = QStringLiteral("Персона распознана.\r\nКамера: Вход №1\r\nСписок: красный\r\n");
    const QString recipients =
        QStringLiteral(" Иванов Иван <%1> ;; , \"Петров, Пётр\" <%2>;%3 , ").arg(first, second, third);

    const actions::MailOutcome outcome = actions::SendSmtpMail(
        Smtp(servers.plain),
        MailContent{
            recipients, subject, body, actions::MailBodyKind::PlainText, {chip.Path(), QString(), frame.Path()}},
        nullptr);
    ASSERT_TRUE(outcome.sent) << outcome.error.toStdString();

    const QString eml = WaitForMail(first);
    ASSERT_FALSE(eml.isEmpty());
    EXPECT_EQ(Facts(eml)[u"rcpt_tos"].toArray(), QJsonArray({first, second, third}));
    EXPECT_EQ(Facts(eml)[u"mail_from"].toString(), QStringLiteral("ostrovid@example.org"));
    const QJsonObject mail = Parse(eml);
    EXPECT_EQ(mail[u"subject"].toString(), subject);
    EXPECT_EQ(mail[u"from"].toString(), QStringLiteral("Остров Видео <ostrovid@example.org>"));
    const QJsonArray to = mail[u"to"].toArray();
    ASSERT_EQ(to.size(), 3);
    EXPECT_EQ(to[0][u"name"].toString(), QStringLiteral("Иванов Иван"));
    EXPECT_EQ(to[1][u"name"].toString(), QStringLiteral("Петров, Пётр"));
    EXPECT_EQ(to[2][u"address"].toString(), third);
    EXPECT_EQ(mail[u"body_type"].toString(), QStringLiteral("text/plain"));
    EXPECT_EQ(mail[u"body"].toString().replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
              QString(body).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));

    const QJsonArray attachments = mail[u"attachments"].toArray();
    ASSERT_EQ(attachments.size(), 2);
    EXPECT_EQ(attachments[0][u"name"].toString(), QFileInfo(chip.Path()).fileName());
    EXPECT_EQ(attachments[0][u"type"].toString(), QStringLiteral("image/jpeg"));
    EXPECT_EQ(DecodedSize(attachments[0]), QSize(150, 150));
    EXPECT_EQ(attachments[1][u"name"].toString(), QFileInfo(frame.Path()).fileName());
    EXPECT_EQ(DecodedSize(attachments[1]), QSize(640, 480));
}

TEST_F(MailTest, TypedLineBreaksCannotAddHeadersOrRecipients) {
    const QString address = NewAddress();
    const QString subject = QStringLiteral("Вход\r\nBcc: intruder@example.org");
    const actions::MailOutcome outcome = actions::SendSmtpMail(
        Smtp(servers.plain), MailContent{address, subject, QStringLiteral("-"), actions::MailBodyKind::PlainText, {}},
        nullptr);
    ASSERT_TRUE(outcome.sent) << outcome.error.toStdString();
    const QString eml = WaitForMail(address);
    ASSERT_FALSE(eml.isEmpty());
    EXPECT_EQ(Facts(eml)[u"rcpt_tos"].toArray(), QJsonArray({address}));
    EXPECT_FALSE(Parse(eml)[u"headers"].toArray().contains(QStringLiteral("Bcc")));

    // An address with a line break in it is refused before anything is sent.
    const actions::MailOutcome refused =
        actions::SendSmtpMail(Smtp(servers.plain),
                              MailContent{address + QStringLiteral("\r\nRCPT TO:<intruder@example.org>"),
                                          subject,
                                          QStringLiteral("-"),
                                          actions::MailBodyKind::PlainText,
                                          {}},
                              nullptr);
    EXPECT_FALSE(refused.sent);
    EXPECT_FALSE(refused.error.isEmpty());
}

TEST_F(MailTest, StartTlsAuthenticationAcceptedAndRefused) {
    const QString accepted = NewAddress();
    actions::MailOutcome outcome = actions::SendSmtpMail(
        Authenticated(servers.password),
        MailContent{accepted, QStringLiteral("Вход"), QStringLiteral("-"), actions::MailBodyKind::PlainText, {}},
        nullptr);
    ASSERT_TRUE(outcome.sent) << outcome.error.toStdString();
    const QString eml = WaitForMail(accepted);
    ASSERT_FALSE(eml.isEmpty());
    EXPECT_TRUE(Facts(eml)[u"starttls"].toBool());
    EXPECT_EQ(Facts(eml)[u"login"].toString(), servers.user);

    const QString refused = NewAddress();
    outcome = actions::SendSmtpMail(
        Authenticated(QStringLiteral("wrong")),
        MailContent{refused, QStringLiteral("Вход"), QStringLiteral("-"), actions::MailBodyKind::PlainText, {}},
        nullptr);
    EXPECT_FALSE(outcome.sent);
    EXPECT_FALSE(outcome.error.isEmpty());
    EXPECT_FALSE(outcome.error.contains(u"wrong"));

    // Without authentication the server refuses the mail too: nothing goes out unasked.
    outcome = actions::SendSmtpMail(
        Smtp(servers.starttls, true),
        MailContent{refused, QStringLiteral("Вход"), QStringLiteral("-"), actions::MailBodyKind::PlainText, {}},
        nullptr);
    EXPECT_FALSE(outcome.sent);
    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(Received(refused).isEmpty());
}

TEST_F(MailTest, PortsAndImplicitTls) {
    settings::SmtpSettings smtp = Smtp(0, true);
    EXPECT_EQ(actions::SmtpUrl(smtp), QStringLiteral("smtps://127.0.0.1:465"));
    smtp.SMTPUseSSL = 0;
    EXPECT_EQ(actions::SmtpUrl(smtp), QStringLiteral("smtp://127.0.0.1:25"));
    smtp.SMTPUseSSL = 1;
    smtp.SMTPServerPort = 587;
    EXPECT_EQ(actions::SmtpUrl(smtp), QStringLiteral("smtp://127.0.0.1:587"));

    // Port 0 with SSL reaches port 465 and speaks TLS from the first byte; the test server
    // stands in for that port.
    actions::MailTransport transport;
    transport.connectTo = {QStringLiteral("127.0.0.1:465:127.0.0.1:%1").arg(servers.tls)};
    for (uint32_t port : {0u, 465u}) {
        const QString address = NewAddress();
        const actions::MailOutcome outcome = actions::SendSmtpMail(
            Smtp(port, true),
            MailContent{address, QStringLiteral("Вход"), QStringLiteral("-"), actions::MailBodyKind::PlainText, {}},
            nullptr, transport);
        ASSERT_TRUE(outcome.sent) << port << ": " << outcome.error.toStdString();
        const QString eml = WaitForMail(address);
        ASSERT_FALSE(eml.isEmpty());
        EXPECT_EQ(Facts(eml)[u"server"].toString(), QStringLiteral("tls"));
    }
}

TEST_F(MailTest, UntrustedConnectionsAreRefused) {
    const QString address = NewAddress();
    const MailContent content{
        address, QStringLiteral("Вход"), QStringLiteral("-"), actions::MailBodyKind::PlainText, {}};
    actions::MailTransport transport;

    // A certificate from the test CA, but for another name.
    transport.connectTo = {QStringLiteral("127.0.0.1:465:127.0.0.1:%1").arg(servers.wrongName)};
    actions::MailOutcome outcome = actions::SendSmtpMail(Smtp(465, true), content, nullptr, transport);
    EXPECT_FALSE(outcome.sent);
    EXPECT_FALSE(outcome.error.isEmpty());

    // The right name, but from a CA the system does not trust.
    qunsetenv(actions::kMailCaFileVariable);
    transport.connectTo = {QStringLiteral("127.0.0.1:465:127.0.0.1:%1").arg(servers.tls)};
    EXPECT_FALSE(actions::SendSmtpMail(Smtp(465, true), content, nullptr, transport).sent);

    // SSL asked for, but the server offers no STARTTLS: the mail does not go out in clear text.
    EXPECT_FALSE(actions::SendSmtpMail(Smtp(servers.plain, true), content, nullptr).sent);

    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(Received(address).isEmpty());
}

TEST_F(MailTest, BrokenAndStalledServersEndTheSending) {
    const actions::TemporaryFile frame = Jpeg(640, 480);
    const MailContent content{
        NewAddress(), QStringLiteral("Вход"), QStringLiteral("-"), actions::MailBodyKind::PlainText, {frame.Path()}};
    actions::MailOutcome outcome = actions::SendSmtpMail(Smtp(servers.drop), content, nullptr);
    EXPECT_FALSE(outcome.sent);
    EXPECT_FALSE(outcome.error.isEmpty());

    // The slow server holds the message; the ending program does not wait for it.
    platform::Event ending(true, false);
    std::thread signaller([&] {
        std::this_thread::sleep_for(300ms);
        ending.Set();
    });
    QElapsedTimer timer;
    timer.start();
    outcome = actions::SendSmtpMail(Smtp(servers.slow), content, &ending);
    signaller.join();
    EXPECT_FALSE(outcome.sent);
    EXPECT_LT(timer.elapsed(), 2000);

    // A server that answers nothing at all is given up after the stall time.
    actions::MailTransport transport;
    transport.stall = 1s;
    timer.restart();
    outcome = actions::SendSmtpMail(Smtp(servers.slow), content, nullptr, transport);
    EXPECT_FALSE(outcome.sent);
    EXPECT_LT(timer.elapsed(), 2900);
}

TEST_F(MailTest, TestMailHasTheHtmlBody) {
    const QString address = NewAddress();
    const actions::MailOutcome outcome =
        actions::SendTestMail(Smtp(servers.plain), QStringLiteral(" %1 ;").arg(address));
    ASSERT_TRUE(outcome.sent) << outcome.error.toStdString();
    const QString eml = WaitForMail(address);
    ASSERT_FALSE(eml.isEmpty());
    const QJsonObject mail = Parse(eml);
    EXPECT_EQ(mail[u"subject"].toString(), QStringLiteral("Тестовое сообщение OSTROVID"));
    EXPECT_EQ(mail[u"body_type"].toString(), QStringLiteral("text/html"));
    EXPECT_TRUE(mail[u"body"].toString().contains(QStringLiteral(
        "<h3>Это сообщение отправлено приложением OSTROVID при проверке учетной записи SMTP сервера.</h3>")));
    EXPECT_TRUE(mail[u"attachments"].toArray().isEmpty());
}

// Mail workers as the main window runs them; scripts are not this test's business.
class MailWorkers final : public actions::ActionWorkers {
public:
    explicit MailWorkers(const shell::Journal& journal) : journal_(journal) {}
    bool StartScriptWorker(std::unique_ptr<actions::ActionItem>&, actions::WorkerContext&) override { return false; }
    bool StartMailWorker(std::unique_ptr<actions::ActionItem>& item, actions::WorkerContext& context) override {
        return actions::StartMailWorker(journal_, item, context);
    }

private:
    const shell::Journal& journal_;
};

class MailQueueTest : public MailTest {
protected:
    void TearDown() override {
        term.Set();
        queue.WaitForThread();
        queue.ClearActionQueue();
        MailTest::TearDown();
    }

    std::unique_ptr<actions::ActionItem> MailItem(ActionType type, const settings::SmtpSettings& smtp,
                                                  const QString& recipients, int pictures) {
        actions::MailRequest request{smtp, QStringLiteral("Неизвестное лицо"), QStringLiteral("Камера: Вход\r\n"), {}};
        platform::CopyToFixed(request.smtp.Recepients, recipients);
        std::vector<actions::TemporaryFile> files;
        for (int i = 0; i < pictures; ++i) {
            files.push_back(Jpeg(640, 480));
            request.attachments.append(files.back().Path());
        }
        auto item = actions::NewActionItem(type, std::move(request));
        item->files = std::move(files);
        return item;
    }
    std::vector<shell::JournalEntry> EntriesOf(uint32_t number) const {
        std::vector<shell::JournalEntry> entries;
        for (const shell::JournalEntry& entry : tab.Entries())
            if (entry.actionNumber == int32_t(number)) entries.push_back(entry);
        return entries;
    }
    bool Completed(uint32_t number) const {
        return LogCount(QStringLiteral("SendMailThreadFunc %1 completed.").arg(number)) == 1;
    }

    queuetest::ActionsTab tab;
    shell::Journal journal{&tab};
    MailWorkers workers{journal};
    actions::ActionQueue queue{journal, workers, csvLog};
    platform::Event term{true, false};
};

TEST_F(MailQueueTest, SentMailIsReportedUnderItsNumberAndItsPicturesDeleted) {
    const QString address = NewAddress();
    auto item = MailItem(ActionType::UnrecognizedMail, Authenticated(servers.password), address, 3);
    const uint32_t number = item->number;
    ASSERT_TRUE(queue.StartThread(term));
    QElapsedTimer timer;
    timer.start();
    ASSERT_TRUE(queue.EnqueueActionItem(std::move(item)));
    const QString eml = WaitForMail(address);
    const qint64 arrived = timer.elapsed();
    ASSERT_FALSE(eml.isEmpty());
    std::printf("enqueue to message at the server: %lld ms (3 pictures of 640 x 480)\n",
                static_cast<long long>(arrived));
    EXPECT_EQ(Parse(eml)[u"attachments"].toArray().size(), 3);

    ASSERT_TRUE(WaitFor([&] { return Completed(number); }, 10s));
    const std::vector<shell::JournalEntry> entries = EntriesOf(number);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].icon, shell::EntryIcon(shell::ActionIcon::MailSending));
    EXPECT_EQ(entries[0].eventText, QStringLiteral("Персона не распознана"));
    EXPECT_EQ(entries[0].actionText, QStringLiteral("Посылка письма по адресам"));
    EXPECT_EQ(entries[0].description, address);
    EXPECT_EQ(entries[1].icon, shell::EntryIcon(shell::ActionIcon::Done));
    EXPECT_EQ(entries[1].actionText, QStringLiteral("Письмо отправлено"));
    EXPECT_TRUE(entries[1].description.isEmpty());
    EXPECT_EQ(LogCount(QStringLiteral("Попытка посылки письма на адреса: %1").arg(address)), 1);
    EXPECT_EQ(LogCount(QStringLiteral("SendThreadFunc %1: Письмо отправлено").arg(number)), 1);
    EXPECT_FALSE(Log().join(u'\n').contains(servers.password));
    EXPECT_TRUE(TempFiles().isEmpty());
}

TEST_F(MailQueueTest, UnreachableServerIsReportedAndItsPicturesDeleted) {
    auto item = MailItem(ActionType::RecognizedMail, Smtp(ClosedPort()), NewAddress(), 1);
    const uint32_t number = item->number;
    ASSERT_TRUE(queue.StartThread(term));
    ASSERT_TRUE(queue.EnqueueActionItem(std::move(item)));
    ASSERT_TRUE(WaitFor([&] { return Completed(number); }, 40s));

    const std::vector<shell::JournalEntry> entries = EntriesOf(number);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].icon, shell::EntryIcon(shell::ActionIcon::Error));
    EXPECT_EQ(entries[1].eventText, QStringLiteral("Персона распознана"));
    EXPECT_EQ(entries[1].actionText, QStringLiteral("Ошибка отправки электронной почты"));
    EXPECT_FALSE(entries[1].description.isEmpty());
    EXPECT_EQ(LogCount(QStringLiteral("SendThreadFunc %1: Ошибка: %2").arg(number).arg(entries[1].description)), 1);
    EXPECT_TRUE(TempFiles().isEmpty());
}

TEST_F(MailQueueTest, EndingProgramDoesNotWaitForABusyServer) {
    auto item = MailItem(ActionType::RecognizedMail, Smtp(servers.slow), NewAddress(), 1);
    const uint32_t number = item->number;
    ASSERT_TRUE(queue.StartThread(term));
    ASSERT_TRUE(queue.EnqueueActionItem(std::move(item)));
    ASSERT_TRUE(WaitFor([&] { return EntriesOf(number).size() == 1; }, 5s));
    std::this_thread::sleep_for(200ms);

    QElapsedTimer timer;
    timer.start();
    term.Set();
    queue.WaitForThread();
    EXPECT_LT(timer.elapsed(), 1500);
    EXPECT_TRUE(Completed(number));
    ASSERT_EQ(EntriesOf(number).size(), 2u);
    EXPECT_EQ(EntriesOf(number)[1].actionText, QStringLiteral("Ошибка отправки электронной почты"));
    EXPECT_TRUE(TempFiles().isEmpty());
}

TEST_F(MailQueueTest, SixtyFourMailsAtOnceAgainstASlowServer) {
    constexpr int kMails = 66;
    std::vector<QString> addresses;
    std::vector<std::unique_ptr<actions::ActionItem>> items;
    for (int i = 0; i < kMails; ++i) {
        addresses.push_back(NewAddress());
        items.push_back(MailItem(ActionType::RecognizedMail, Smtp(servers.slow), addresses.back(), 1));
    }
    ASSERT_TRUE(queue.StartThread(term));
    QElapsedTimer timer;
    timer.start();
    qint64 longestEnqueue = 0;
    for (auto& item : items) {
        QElapsedTimer one;
        one.start();
        ASSERT_TRUE(queue.EnqueueActionItem(std::move(item)));
        longestEnqueue = std::max(longestEnqueue, one.elapsed());
    }
    // The posting thread never waits for a mail.
    EXPECT_LT(longestEnqueue, 50);

    // 64 workers hold the slow server; the rest wait in the queue, and a CSV line goes ahead of them.
    ASSERT_TRUE(WaitFor([&] { return queue.QueuedCount() == kMails - actions::ActionQueue::kWorkerSlots; }, 10s));
    ASSERT_TRUE(queue.EnqueueActionItem(actions::NewActionItem(ActionType::CsvLine, actions::CsvRecord{})));
    ASSERT_TRUE(WaitFor([&] { return CsvLines().size() == 1; }, 2s));
    EXPECT_EQ(queue.QueuedCount(), size_t(kMails - actions::ActionQueue::kWorkerSlots));

    ASSERT_TRUE(WaitFor(
        [&] {
            return std::all_of(addresses.begin(), addresses.end(),
                               [&](const QString& a) { return !Received(a).isEmpty(); });
        },
        60s));
    std::printf("%d mails through a server that holds each for %s s: %lld ms\n", kMails,
                qgetenv("OSTROVID_TEST_SMTP_SLOW_DELAY").constData(), static_cast<long long>(timer.elapsed()));
    auto sent = [&] {
        const auto entries = tab.Entries();
        return std::count_if(entries.begin(), entries.end(), [](const shell::JournalEntry& e) {
            return e.actionText == QStringLiteral("Письмо отправлено");
        });
    };
    ASSERT_TRUE(WaitFor([&] { return sent() == kMails && TempFiles().isEmpty(); }, 10s));
}

}  // namespace
