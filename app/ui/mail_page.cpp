#include "app/ui/mail_page.h"

#include "app/actions/mail_worker.h"
#include "app/ui/queued_call.h"
#include "app/ui/sheet_fields.h"
#include "app/ui/splash_windows.h"
#include "app/ui/test_mail_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace ui {

MailPage::Services MailPage::ProgramServices() {
    return {[](const settings::SmtpSettings& smtp, const QString& recipients, platform::Event* abort) {
                return actions::SendTestMail(smtp, recipients, abort);
            },
            AskTestRecipients,
            [](QWidget* owner, const TestMailReport& report) {
                QMessageBox::Icon icon = report.failed ? QMessageBox::Critical : QMessageBox::Information;
                QMessageBox box(icon, kProgramTitle, report.text, QMessageBox::Ok, owner);
                box.exec();
            }};
}

MailPage::MailPage(settings::SettingsState& copy, Services services, QWidget* parent)
    : QWidget(parent), rules_(copy.smtp), services_(std::move(services)) {
    setObjectName(QStringLiteral("MailPage"));
    setWindowTitle(QStringLiteral("Почта"));
    auto* form = new QFormLayout(this);
    const settings::SmtpSettings& smtp = rules_.Smtp();

    QLineEdit* server = AddText(QStringLiteral("SMTPServer"), MaxChars(smtp.SMTPServer),
                                [this](const QString& typed) { return rules_.SetServer(typed); });
    server->setText(platform::FromFixed(smtp.SMTPServer));
    form->addRow(QStringLiteral("IP-адрес или имя сервера:"), server);

    auto* port = new QLineEdit(rules_.PortText(), this);
    port->setObjectName(QStringLiteral("SMTPServerPort"));
    port->setMaxLength(kPortDigits);
    port->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), port));
    connect(port, &QLineEdit::textEdited, this, [this, port](const QString& typed) {
        if (const std::optional<QString> shown = rules_.SetPort(typed)) port->setText(*shown);
    });
    form->addRow(QStringLiteral("Порт:"), port);

    auto* ssl = new QCheckBox(QStringLiteral("Безопасное соединение (SSL)"), this);
    ssl->setObjectName(QStringLiteral("SMTPUseSSL"));
    ssl->setChecked(smtp.SMTPUseSSL != 0);
    connect(ssl, &QCheckBox::toggled, this, [this](bool on) { rules_.SetUseSsl(on); });
    form->addRow(ssl);

    QLineEdit* originator = AddText(QStringLiteral("Originator"), MaxChars(smtp.Originator),
                                    [this](const QString& typed) { return rules_.SetOriginator(typed); });
    originator->setText(platform::FromFixed(smtp.Originator));
    form->addRow(QStringLiteral("Отправитель:"), originator);

    auto* auth = new QCheckBox(QStringLiteral("Проверка подлинности пользователя"), this);
    auth->setObjectName(QStringLiteral("SMTPAuthRequired"));
    auth->setChecked(smtp.SMTPAuthRequired != 0);
    connect(auth, &QCheckBox::toggled, this, [this](bool on) {
        rules_.SetAuthRequired(on);
        ShowEnabling();
    });
    form->addRow(auth);

    userName_ = AddText(QStringLiteral("SendUserName"), MaxChars(smtp.SendUserName),
                        [this](const QString& typed) { return rules_.SetUserName(typed); });
    userName_->setText(platform::FromFixed(smtp.SendUserName));
    form->addRow(QStringLiteral("Учетная запись:"), userName_);
    password_ = AddText(QStringLiteral("SendPassword"), MaxChars(smtp.SendPassword),
                        [this](const QString& typed) { return rules_.SetPassword(typed); });
    password_->setEchoMode(QLineEdit::Password);
    password_->setText(platform::FromFixed(smtp.SendPassword));
    form->addRow(QStringLiteral("Пароль:"), password_);

    QLineEdit* recipients = AddText(QStringLiteral("Recepients"), MaxChars(smtp.Recepients),
                                    [this](const QString& typed) { return rules_.SetRecipients(typed); });
    recipients->setText(platform::FromFixed(smtp.Recepients));
    form->addRow(QStringLiteral("Получатели:"), recipients);

    test_ = new QPushButton(QStringLiteral("Проверка отправки почты..."), this);
    test_->setObjectName(QStringLiteral("TestMail"));
    connect(test_, &QPushButton::clicked, this, [this] { StartTest(); });
    form->addRow(test_);
    ShowEnabling();
}

MailPage::~MailPage() {
    abort_.Set();
    if (worker_.joinable()) worker_.join();
}

QLineEdit* MailPage::AddText(const QString& name, int maxLength, const std::function<QString(const QString&)>& set) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(name);
    edit->setMaxLength(maxLength);
    connect(edit, &QLineEdit::textEdited, this, [this, edit, set](const QString& typed) {
        const QString kept = set(typed);
        if (kept != typed) edit->setText(kept);
        ShowEnabling();
    });
    return edit;
}

void MailPage::ShowEnabling() {
    userName_->setEnabled(rules_.AuthFieldsEnabled());
    password_->setEnabled(rules_.AuthFieldsEnabled());
    test_->setEnabled(rules_.TestEnabled() && !TestRunning());
}

void MailPage::StartTest() {
    if (TestRunning()) return;
    const std::optional<QString> recipients =
        services_.askRecipients(this, platform::FromFixed(rules_.Smtp().Recepients));
    if (!recipients) return;
    if (worker_.joinable()) worker_.join();  // the last test has ended already
    finished_ = false;
    test_->setEnabled(false);
    setCursor(Qt::WaitCursor);
    // The thread works on its own copy: the operator may go on editing meanwhile.
    worker_ = std::thread([this, smtp = rules_.Smtp(), to = *recipients, send = services_.send] {
        const actions::MailOutcome outcome = send(smtp, to, &abort_);
        PostCall(this, [this, outcome] { TestEnded(outcome); });
    });
}

void MailPage::TestEnded(const actions::MailOutcome& outcome) {
    finished_ = true;
    unsetCursor();
    ShowEnabling();
    services_.report(this, ReportTestMail(outcome.sent, outcome.error));
}

}  // namespace ui
