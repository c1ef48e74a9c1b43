// The script runner: started by the program with the GUID of a shared block, it runs the script
// the block asks for and writes the reply into it. "Velox --check FILE TYPE" checks a script's
// syntax without running it.

#include "platform/log.h"
#include "platform/paths.h"
#include "settings/channel_area.h"
#include "velox/runner.h"
#include "velox/runner_block.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <memory>

namespace {

int Check(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    bool typeValid = false;
    const uint32_t type = QString::fromLocal8Bit(argv[3]).toUInt(&typeValid);
    const velox::ScriptOutcome outcome =
        velox::CheckScript(QString::fromLocal8Bit(argv[2]), typeValid ? type : uint32_t(-1));
    std::fprintf(outcome.code == 0 ? stdout : stderr, "%s\n", outcome.text.toLocal8Bit().constData());
    return outcome.code == 0 ? 0 : 1;
}

// A screen, or a platform chosen explicitly (offscreen in tests).
bool HasDisplay() {
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY") ||
           qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
}

int Run(int argc, char** argv) {
    const QString temp = platform::TempFolder();
    platform::SetLogFile(temp + QStringLiteral("Velox.log"), temp + QStringLiteral("Velox1.log"));
    QString error;
    velox::RunnerBlock block;
    if (!block.Open(QString::fromLocal8Bit(argv[1]), &error)) {
        WriteLog(error);
        std::fprintf(stderr, "%s\n", error.toLocal8Bit().constData());
        return 3;
    }
    std::vector<uint8_t> bytes;
    std::optional<velox::ScriptEvent> event;
    if (block.Read(bytes)) {
        event = velox::DecodeRequest(settings::channel::ChannelArea(bytes.data(), bytes.size()), &error);
    } else {
        error = QStringLiteral("Блок запроса не прочитан");
    }
    if (!event) {
        WriteLog(error);
        return block.WriteReply(uint32_t(velox::ResultCode::BadRequest), error) ? 0 : 3;
    }
    // A window system only when the script may show something and there is a screen for it.
    const bool withInterface = event->allowUI && HasDisplay();
    std::unique_ptr<QCoreApplication> app =
        withInterface ? std::make_unique<QApplication>(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
    decltype(velox::HostServices::showMessage) showMessage;
    if (withInterface)
        showMessage = [](const QString& text, const std::function<bool()>& stopped) {
            QMessageBox box(QMessageBox::Information, QStringLiteral("Velox"), text, QMessageBox::Ok);
            // A message left open must not keep the script past its time-out.
            QTimer watch;
            QObject::connect(&watch, &QTimer::timeout, &box, [&] {
                if (stopped()) box.reject();
            });
            watch.start(100);
            box.exec();
        };
    const velox::ScriptOutcome outcome = velox::RunScript(*event, std::move(showMessage));
    return block.WriteReply(outcome.code, outcome.text) ? 0 : 3;
}

}  // namespace

int main(int argc, char** argv) {
    // A script child that closes its input early must not end the runner.
    std::signal(SIGPIPE, SIG_IGN);
    if (argc == 4 && qstrcmp(argv[1], "--check") == 0) return Check(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: Velox {GUID} | Velox --check FILE TYPE\n");
        return 2;
    }
    return Run(argc, argv);
}
