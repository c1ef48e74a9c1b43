#pragma once
// Purpose: the mail actions of recognition events: the worker that sends one queued mail and
//          reports it in the Actions tab and the diagnostic log, and the test mail of the mail
//          settings.
// Threads: StartMailWorker on the action queue thread, the sending on the worker's own thread;
//          SendTestMail on any thread (it blocks while the mail is sent).
// Owns: a started worker owns its item (and with it the attachment files) until it ends.

#include "app/actions/action_workers.h"
#include "app/actions/mail_sender.h"

namespace actions {

// Starts SendMailThreadFunc for a mail item (type 3 or 5). True: the thread runs and owns item
// and context; false: no thread could be made and both are left to the caller.
bool StartMailWorker(const shell::Journal& journal, std::unique_ptr<ActionItem>& item, WorkerContext& context);

// Sends the test message of the mail settings page with the settings being edited to the
// recipients entered in the test dialog; `abort`, when given and signalled, gives up at once.
MailOutcome SendTestMail(const settings::SmtpSettings& edited, const QString& recipients,
                         platform::Event* abort = nullptr);

}  // namespace actions
