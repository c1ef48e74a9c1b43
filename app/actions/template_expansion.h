#pragma once
// Purpose: expansion of operator-written templates: every placeholder token ("%ДАТА%") found in
//          the text is replaced by its value.
// Threads: any (pure functions).
// Owns: nothing.

#include <QString>
#include <QStringView>

#include <new>
#include <optional>
#include <span>

namespace actions {

// Writes "Недостаточно памяти в системе" to the diagnostic log.
void LogOutOfMemory();

// The text that build makes, or nothing (and the log line) when memory runs out on the way.
template <class Build>
std::optional<QString> GuardedAgainstOutOfMemory(Build&& build) {
    try {
        return build();
    } catch (const std::bad_alloc&) {
        LogOutOfMemory();
        return std::nullopt;
    }
}

// One placeholder and the text it stands for.
struct TemplateParam {
    QStringView placeholder;  // the whole token, both percent signs included
    QString value;
};

// Scans the text for "%"; at each one the params are tried in order and the first whose token
// the text starts with (compared case-insensitively over the token's whole length) is replaced
// by its value. A value is never scanned again, so a "%" inside it stays as it is; a "%" that
// starts no token stays in place. Nothing when memory ran out: then "Недостаточно памяти в
// системе" is in the diagnostic log.
std::optional<QString> ExpandTemplate(QStringView text, std::span<const TemplateParam> params);

}  // namespace actions
