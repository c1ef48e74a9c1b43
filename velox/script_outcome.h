#pragma once
// Purpose: what a script run comes to: the result code and text of the reply.
// Threads: any.
// Owns: its text.

#include <QString>

#include <cstdint>

namespace velox {

// Codes of runs that did not end by themselves; an executable's own exit code is passed on as it is.
enum class ResultCode : uint32_t {
    Done = 0,
    ScriptError = 1,  // an exception, a syntax error, or an executable that failed
    TimedOut = 2,
    BadRequest = 3,
    CannotStart = 4,  // no such file, not a file, not executable
};

struct ScriptOutcome {
    uint32_t code = uint32_t(ResultCode::Done);
    QString text;
};

inline ScriptOutcome Outcome(ResultCode code, QString text) { return {uint32_t(code), std::move(text)}; }

// The reply of a run stopped at the operator's time-out.
inline ScriptOutcome TimedOutOutcome(int32_t seconds) {
    return Outcome(ResultCode::TimedOut,
                   QStringLiteral("Скрипт прерван: время выполнения превысило %1 с").arg(seconds));
}

}  // namespace velox
