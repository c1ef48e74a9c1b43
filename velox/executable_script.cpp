#include "velox/executable_script.h"

#include "velox/child_process.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

#include <cstring>

namespace velox {

namespace {

QString ErrorText(const QByteArray& head) {
    QString text = QString::fromUtf8(head).left(kErrorTextChars);
    while (text.endsWith(u'\n') || text.endsWith(u'\r')) text.chop(1);
    return text;
}

}  // namespace

std::optional<ScriptOutcome> ScriptFileProblem(const QString& file, bool executable) {
    const QFileInfo info(file);
    if (file.isEmpty() || !info.exists())
        return Outcome(ResultCode::CannotStart, QStringLiteral("Файл скрипта не найден: %1").arg(file));
    if (!info.isFile())
        return Outcome(ResultCode::CannotStart, QStringLiteral("Скрипт не является файлом: %1").arg(file));
    if (executable && !info.isExecutable())
        return Outcome(ResultCode::CannotStart, QStringLiteral("Файл скрипта не является исполняемым: %1").arg(file));
    return std::nullopt;
}

ScriptOutcome RunExecutableScript(const ScriptEvent& event, Watchdog& watchdog) {
    if (auto problem = ScriptFileProblem(event.scriptFile, true)) return *problem;
    ChildCommand command;
    command.program = event.scriptFile;
    command.environment = EventEnvironment(event);
    command.input = QJsonDocument(EventJson(event)).toJson(QJsonDocument::Compact) + '\n';
    // UTF-8 takes at most 4 bytes a character.
    command.errorHeadBytes = 4 * kErrorTextChars;
    const ChildResult child = RunChild(command, watchdog);
    if (watchdog.Expired()) return TimedOutOutcome(event.timeout);
    if (child.startError != 0)
        return Outcome(ResultCode::CannotStart,
                       QStringLiteral("Скрипт не запущен: %1: %2")
                           .arg(event.scriptFile, QString::fromLocal8Bit(strerror(child.startError))));
    const QString text = ErrorText(child.errorHead);
    if (child.signal != 0)
        return {uint32_t(128 + child.signal),
                text.isEmpty() ? QStringLiteral("Скрипт завершён сигналом %1").arg(child.signal) : text};
    return {uint32_t(child.exitCode), text.isEmpty() ? QStringLiteral("Код завершения %1").arg(child.exitCode) : text};
}

ScriptOutcome CheckExecutableScript(const QString& file) {
    if (auto problem = ScriptFileProblem(file, true)) return *problem;
    QFile script(file);
    QByteArray firstLine;
    if (script.open(QIODevice::ReadOnly)) firstLine = script.readLine(256).trimmed();
    static const QByteArrayList shells{"sh", "bash", "dash"};
    const QByteArray interpreter =
        firstLine.startsWith("#!") ? firstLine.mid(2).trimmed().split(' ').value(0) : QByteArray();
    const QByteArray shell = interpreter.mid(interpreter.lastIndexOf('/') + 1);
    if (!shells.contains(shell)) return Outcome(ResultCode::Done, QStringLiteral("Файл может быть выполнен"));
    Watchdog unlimited;
    const ChildResult child = RunChild(
        {QString::fromLocal8Bit(interpreter), {QStringLiteral("-n"), file}, {}, {}, 4 * kErrorTextChars}, unlimited);
    if (child.startError == 0 && child.exitCode == 0 && child.signal == 0)
        return Outcome(ResultCode::Done, QStringLiteral("Синтаксис в порядке"));
    return Outcome(ResultCode::ScriptError, ErrorText(child.errorHead));
}

}  // namespace velox
