#include "app/actions/mail_worker.h"

#include "platform/contract.h"
#include "platform/fixedtext.h"
#include "platform/log.h"

namespace actions {

using namespace shell::literals;

namespace {

const QString kTestSubject = QStringLiteral("Тестовое сообщение OSTROVID");
const QString kTestBody = QStringLiteral(
    "<html><head><title>OSTROVID</title></head><body><div><h3>Это сообщение отправлено приложением OSTROVID при "
    "проверке учетной записи SMTP сервера.</h3></div></body></html>");

// The work of SendMailThreadFunc between its start and its end: announces the mail, sends it and
// reports the result.
void SendMailAction(const shell::Journal& journal, const ActionItem& item, platform::Event* abort) {
    const MailRequest& request = std::get<MailRequest>(item.payload);
    const QString event = ActionEventText(item.type);
    const auto number = int32_t(item.number);
    const QString recipients = platform::FromFixed(request.smtp.Recepients);
    WriteLog(QStringLiteral("Попытка посылки письма на адреса: %1").arg(recipients));
    journal.PostAction(shell::ActionIcon::MailSending, event, number, u"Посылка письма по адресам"_jt, recipients);

    const MailOutcome outcome = SendSmtpMail(
        request.smtp,
        MailContent{recipients, request.subject, request.body, MailBodyKind::PlainText, request.attachments}, abort);
    if (outcome.sent) {
        WriteLog(QStringLiteral("SendThreadFunc %1: Письмо отправлено").arg(number));
        journal.PostAction(shell::ActionIcon::Done, event, number, u"Письмо отправлено"_jt, QString());
    } else {
        WriteLog(QStringLiteral("SendThreadFunc %1: Ошибка: %2").arg(number).arg(outcome.error));
        journal.PostAction(shell::ActionIcon::Error, event, number, u"Ошибка отправки электронной почты"_jt,
                           outcome.error);
    }
}

}  // namespace

bool StartMailWorker(const shell::Journal& journal, std::unique_ptr<ActionItem>& item, WorkerContext& context) {
    OSTROVID_ASSERT(item && IsMailAction(item->type), "a mail worker runs mail items only");
    return StartWorkerThread(
        QStringLiteral("SendMailThreadFunc"), item, context,
        [&journal](ActionItem& running, platform::Event& termEvent) { SendMailAction(journal, running, &termEvent); });
}

MailOutcome SendTestMail(const settings::SmtpSettings& edited, const QString& recipients, platform::Event* abort) {
    return SendSmtpMail(edited, MailContent{recipients, kTestSubject, kTestBody, MailBodyKind::Html, {}}, abort);
}

}  // namespace actions
