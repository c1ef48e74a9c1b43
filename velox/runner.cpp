#include "velox/runner.h"

#include "velox/executable_script.h"
#include "velox/jscript.h"
#include "velox/watchdog.h"

namespace velox {

ScriptOutcome RunScript(const ScriptEvent& event, decltype(HostServices::showMessage) showMessage) {
    Watchdog watchdog;
    if (event.scriptType == ScriptType::JScript)
        return RunJScript(event, {event.scriptFile, event.allowUI ? std::move(showMessage) : nullptr, &watchdog});
    if (event.timeout > 0) watchdog.Arm(std::chrono::seconds(event.timeout), nullptr);
    ScriptOutcome outcome = RunExecutableScript(event, watchdog);
    watchdog.Disarm();
    return outcome;
}

ScriptOutcome CheckScript(const QString& file, uint32_t type) {
    if (type == uint32_t(ScriptType::JScript)) return CheckJScript(file);
    if (type == uint32_t(ScriptType::Executable)) return CheckExecutableScript(file);
    return Outcome(ResultCode::BadRequest, QStringLiteral("Неизвестный тип скрипта: %1").arg(type));
}

}  // namespace velox
