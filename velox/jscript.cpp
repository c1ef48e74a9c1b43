#include "velox/jscript.h"

#include "velox/executable_script.h"

#include <QFile>
#include <QJSEngine>
#include <QStringDecoder>

namespace velox {

namespace {

std::optional<QString> ReadSource(const QString& file, ScriptOutcome* problem) {
    if (auto fileProblem = ScriptFileProblem(file, false)) {
        *problem = *fileProblem;
        return std::nullopt;
    }
    QFile script(file);
    if (!script.open(QIODevice::ReadOnly)) {
        *problem = Outcome(ResultCode::CannotStart,
                           QStringLiteral("Файл скрипта не прочитан: %1: %2").arg(file, script.errorString()));
        return std::nullopt;
    }
    const QByteArray bytes = script.readAll();
    // Windows scripts often come as UTF-16 with a byte-order mark.
    QStringDecoder decoder(QStringConverter::encodingForData(bytes).value_or(QStringConverter::Utf8));
    return QString(decoder(bytes));
}

// "<line>: <message>" of an uncaught exception, or nothing when the value is not one.
std::optional<ScriptOutcome> ExceptionOutcome(const QJSValue& result, const QStringList& stack) {
    if (!result.isError() && stack.isEmpty()) return std::nullopt;
    int line = result.property(QStringLiteral("lineNumber")).toInt();
    // The stack reads "function:line:column:file".
    if (line <= 0 && !stack.isEmpty()) line = stack.first().section(u':', 1, 1).toInt();
    return Outcome(ResultCode::ScriptError, QStringLiteral("Ошибка в строке %1: %2").arg(line).arg(result.toString()));
}

}  // namespace

ScriptOutcome RunJScript(const ScriptEvent& event, HostServices services) {
    ScriptOutcome problem;
    const auto source = ReadSource(event.scriptFile, &problem);
    if (!source) return problem;

    Watchdog& watchdog = *services.watchdog;
    QJSEngine engine;
    engine.installExtensions(QJSEngine::ConsoleExtension);
    ScriptHost host(std::move(services));
    host.Install(engine);
    engine.globalObject().setProperty(QStringLiteral("Event"), engine.toScriptValue(EventFields(event)));
    if (event.timeout > 0)
        watchdog.Arm(std::chrono::seconds(event.timeout), [&engine] { engine.setInterrupted(true); });
    QStringList stack;
    const QJSValue result = engine.evaluate(*source, event.scriptFile, 1, &stack);
    watchdog.Disarm();
    if (watchdog.Expired()) return TimedOutOutcome(event.timeout);
    if (auto exception = ExceptionOutcome(result, stack)) return *exception;
    return Outcome(ResultCode::Done,
                   result.isUndefined() || result.isNull() ? QStringLiteral("Скрипт выполнен") : result.toString());
}

ScriptOutcome CheckJScript(const QString& file) {
    ScriptOutcome problem;
    const auto source = ReadSource(file, &problem);
    if (!source) return problem;
    QJSEngine engine;
    // Wrapped in a function that is never called: compiled, not run. The wrapper starts on the
    // script's first line, so line numbers stay the script's own.
    QStringList stack;
    const QJSValue result =
        engine.evaluate(QStringLiteral("(function () {") + *source + QStringLiteral("\n})"), file, 1, &stack);
    if (auto exception = ExceptionOutcome(result, stack)) return *exception;
    return Outcome(ResultCode::Done, QStringLiteral("Синтаксис в порядке"));
}

}  // namespace velox
