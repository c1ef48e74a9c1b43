#pragma once
// OstrovidSvc's command line: install and remove the systemd unit, run in the console, or hand
// the process to the service manager.

#include <QByteArray>
#include <QString>

namespace service {

enum class Command { Install, Remove, Debug, Dispatch };

// The first argument, when it begins with '-' or '/', names the command (any letter case);
// anything else is Dispatch.
Command ParseCommandLine(int argc, const char* const* argv);

// The usage lines printed before the process is handed to the service manager.
QByteArray UsageText();

// The unit folder: $OSTROVID_SYSTEMD_UNIT_DIR or /etc/systemd/system; the unit file in it is
// "OstrovidSvc.service".
QString UnitFolder();
QString UnitFilePath();
// The unit that starts the program file with no argument, as a notify-type service of root,
// restarted after a crash and confined to the folders it writes and the capabilities it needs.
QByteArray UnitFileText(const QString& programPath);

enum class InstallOutcome {
    Done,         // installed, or a failure of the service manager, printed as such
    SetupFailed,  // the group, the operator's membership or a folder could not be made
};

// Each prints its outcome to standard output. systemctl is $OSTROVID_SYSTEMCTL when set.
// Install first makes the group "ostrovid" (groupadd) when missing and adds the account that ran
// sudo ($SUDO_USER, unless root) to it (usermod), then the folders the unit lets the service write.
InstallOutcome InstallService();
void RemoveService();
// Asks the service manager whether the machine is shutting down (a bounded wait).
bool SystemIsShuttingDown();
// Runs the service body when systemd started the process; otherwise writes the event that
// the dispatcher could not start.
void RunServiceDispatcher();

}  // namespace service
