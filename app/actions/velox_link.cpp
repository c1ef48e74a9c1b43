#include "app/actions/velox_link.h"

#include "app/actions/velox_block.h"
#include "app/actions/velox_process.h"
#include "app/actions/velox_request.h"
#include "platform/fixedtext.h"
#include "platform/hostinfo.h"
#include "platform/log.h"
#include "platform/paths.h"
#include "platform/syserror.h"
#include "velox/velox_block_layout.h"

#include <vector>

namespace actions {

using namespace shell::literals;
using settings::channel::ChannelArea;

namespace {

// The journal texts of one run.
struct RunReport {
    const shell::Journal& journal;
    QString event;
    int32_t number;
    QString script;

    void Post(shell::ActionIcon icon, QString action, QString description) const {
        journal.PostAction(icon, event, number, std::move(action), std::move(description));
    }
};

void ReportReply(const RunReport& report, const VeloxReply& reply) {
    if (reply.packetType != uint32_t(velox::layout::PacketType::Reply)) {
        const int type = int(reply.packetType);
        WriteLog(QStringLiteral("Ошибка. Процесс Velox.exe, выполнявший скрипт '%1' вернул неверный тип пакета: %2.")
                     .arg(report.script)
                     .arg(type));
        report.Post(shell::ActionIcon::Error, u"Выполнение скрипта"_jt,
                    QStringLiteral("Процесс выполнявший скрипт вернул неверный тип пакета: %1").arg(type));
    } else if (reply.resultCode == 0) {
        WriteLog(QStringLiteral("Cкрипт '%1' отработал нормально: %2").arg(report.script, reply.text));
        report.Post(shell::ActionIcon::Done, u"Cкрипт отработал нормально"_jt, reply.text);
    } else {
        WriteLog(
            QStringLiteral("Процесс Velox.exe, выполнявший скрипт '%1' вернул описание ошибки времени выполнения: %2")
                .arg(report.script, reply.text));
        report.Post(shell::ActionIcon::ScriptError, u"Ошибка при выполненим скрипта"_jt, reply.text);
    }
}

void RunAndReport(const RunReport& report, const VeloxBlock& block, std::vector<uint8_t>& bytes,
                  platform::Event& termEvent, const QString& guid, const QString& runnerPath, int32_t timeout) {
    const auto limit = VeloxWaitLimit(timeout);
    const uint32_t requestType = ChannelArea(bytes.data(), bytes.size()).U32(velox::layout::kPacketType);
    WriteLog(QStringLiteral("Запуск процесса Velox.exe для выполнения скрипта %1").arg(report.script));
    report.Post(shell::ActionIcon::ScriptStarted, u"Запуск скрипта"_jt, report.script);

    RunnerProcess runner;
    if (const int error = runner.Start(runnerPath, guid, platform::ProgramFolder()); error != platform::kErrorSuccess) {
        const QString text = platform::FormatSystemError(error, 512);
        WriteLog(QStringLiteral("Error: Can't execute Velox.exe : %1").arg(text));
        report.Post(shell::ActionIcon::Error, u"Ошибка запуска приложения Velox.exe"_jt, text);
        return;
    }
    switch (runner.Wait(termEvent, limit)) {
    case RunnerProcess::WaitResult::Exited: {
        ChannelArea reply(bytes.data(), bytes.size());
        // A block that cannot be read whole holds no reply: the request's type is reported.
        if (!block.Read(reply)) reply.SetU32(velox::layout::kPacketType, requestType);
        ReportReply(report, ReadVeloxReply(reply));
        break;
    }
    case RunnerProcess::WaitResult::Terminated:
        break;
    case RunnerProcess::WaitResult::TimedOut:
        WriteLog(QStringLiteral("Ошибка. Процесс Velox.exe, запускающий VB скрипт '%1' не завершил работу в "
                                "течение заданного таймаута.")
                     .arg(report.script));
        report.Post(shell::ActionIcon::Error, u"Выполнение скрипта"_jt, u"Не завершено в течение заданного времени"_jt);
        break;
    case RunnerProcess::WaitResult::Failed:
        WriteLog(QStringLiteral("Ошибка ожидания завершения процесса Velox.exe."));
        break;
    }
}

}  // namespace

QString DefaultVeloxRunnerPath() { return platform::ProgramFolder() + QStringLiteral("/Velox"); }

void RunVeloxScript(const shell::Journal& journal, const ActionItem& item, platform::Event& termEvent,
                    const QString& runnerPath) {
    const auto* request = std::get_if<ScriptRequest>(&item.payload);
    if (!request) return;
    const RunReport report{journal, ActionEventText(item.type), int32_t(item.number),
                           platform::FromFixed(request->head.scriptFile)};

    const QString guid = platform::NewGuidText();
    VeloxBlock block;
    if (const int error = block.Create(guid); error != platform::kErrorSuccess) {
        WriteLog(platform::AppendSystemError(
            QStringLiteral("VeloxThreadFunc Error. Can't create _OSTROVID2VELOXMAPFILE object: "), error));
        return;
    }
    std::vector<uint8_t> bytes(velox::layout::kBlockSize, 0);
    ChannelArea area(bytes.data(), bytes.size());
    WriteVeloxRequest(area, item.type, *request);
    if (const int error = block.Write(area); error != platform::kErrorSuccess) {
        WriteLog(platform::AppendSystemError(
            QStringLiteral("VeloxThreadFunc Error.Can't create MappedPointer of _OSTROVID2VELOXMAPFILE object: "),
            error));
        return;
    }
    RunAndReport(report, block, bytes, termEvent, guid, runnerPath, request->head.timeout);
}

bool StartVeloxWorker(const shell::Journal& journal, std::unique_ptr<ActionItem>& item, WorkerContext& context,
                      QString runnerPath) {
    return StartWorkerThread(
        QStringLiteral("VeloxThreadFunc"), item, context,
        [&journal, runnerPath = std::move(runnerPath)](ActionItem& running, platform::Event& termEvent) {
            RunVeloxScript(journal, running, termEvent, runnerPath);
        });
}

}  // namespace actions
