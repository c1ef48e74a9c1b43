#pragma once
// Purpose: the settings page "Почта": the SMTP settings of the sheet's copy and the test mail,
//          which is sent on a thread of its own while the window stays usable. The rules are
//          MailPageRules'; this widget shows them.
// Threads: the user-interface thread; the test mail's sending runs on its own thread.
// Owns: its child widgets and the thread of a test mail under way (stopped and joined when the
//       page goes).

#include "app/actions/mail_sender.h"
#include "app/ui/mail_page_rules.h"
#include "platform/sync.h"
#include "settings/settings_state.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <thread>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace ui {

class MailPage final : public QWidget {
public:
    // Sends the test mail; runs off the user-interface thread and must give up once `abort` is set.
    using TestMailSender =
        std::function<actions::MailOutcome(const settings::SmtpSettings&, const QString&, platform::Event*)>;
    // Asks for the recipients of the test mail; nothing: the test is cancelled.
    using RecipientsQuestion = std::function<std::optional<QString>(QWidget*, const QString&)>;
    // Tells the outcome of the test mail.
    using OutcomeReport = std::function<void(QWidget*, const TestMailReport&)>;

    struct Services {
        TestMailSender send;
        RecipientsQuestion askRecipients;
        OutcomeReport report;
    };
    // The program's own: actions::SendTestMail, "Проверка отправки почты" and a message box.
    static Services ProgramServices();

    MailPage(settings::SettingsState& copy, Services services, QWidget* parent = nullptr);
    ~MailPage() override;

    bool TestRunning() const { return worker_.joinable() && !finished_; }

private:
    QLineEdit* AddText(const QString& name, int maxLength, const std::function<QString(const QString&)>& set);
    void StartTest();
    void TestEnded(const actions::MailOutcome& outcome);
    void ShowEnabling();

    MailPageRules rules_;
    Services services_;
    QLineEdit* userName_ = nullptr;
    QLineEdit* password_ = nullptr;
    QPushButton* test_ = nullptr;
    platform::Event abort_{true, false};
    std::thread worker_;
    bool finished_ = true;
};

}  // namespace ui
