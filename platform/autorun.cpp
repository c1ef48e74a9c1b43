#include "platform/autorun.h"

#include "platform/locked_file_write.h"
#include "platform/paths.h"
#include "platform/registry_tree.h"
#include "platform/syserror.h"

#include <QFile>

#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <optional>

namespace platform {
namespace {

// Characters that make the Desktop Entry format quote an Exec argument.
const QString kReservedInExec = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
// Characters escaped by a backslash inside a quoted Exec argument.
const QString kEscapedInQuotes = QStringLiteral("\"`$\\");

// The argument as the Exec key holds it, before the string escapes of the file.
QString QuoteExecArgument(const QString& argument) {
    const bool needsQuotes = argument.isEmpty() || std::any_of(argument.begin(), argument.end(),
                                                               [](QChar c) { return kReservedInExec.contains(c); });
    QString quoted;
    if (needsQuotes) quoted.append(u'"');
    for (QChar c : argument) {
        if (needsQuotes && kEscapedInQuotes.contains(c)) quoted.append(u'\\');
        quoted.append(c);
        if (c == u'%') quoted.append(u'%');
    }
    if (needsQuotes) quoted.append(u'"');
    return quoted;
}

QString EscapeStringValue(const QString& value) {
    QString escaped;
    for (QChar c : value) {
        switch (c.unicode()) {
        case u'\\':
            escaped.append(u"\\\\");
            break;
        case u'\n':
            escaped.append(u"\\n");
            break;
        case u'\t':
            escaped.append(u"\\t");
            break;
        case u'\r':
            escaped.append(u"\\r");
            break;
        default:
            escaped.append(c);
        }
    }
    return escaped;
}

QString UnescapeStringValue(QStringView value) {
    QString text;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\' || i + 1 == value.size()) {
            text.append(value[i]);
            continue;
        }
        switch (value[++i].unicode()) {
        case u's':
            text.append(u' ');
            break;
        case u'n':
            text.append(u'\n');
            break;
        case u't':
            text.append(u'\t');
            break;
        case u'r':
            text.append(u'\r');
            break;
        case u'\\':
            text.append(u'\\');
            break;
        default:
            text.append(u'\\').append(value[i]);
        }
    }
    return text;
}

// The first argument of an Exec command line; nothing when a quote is left open.
std::optional<QString> FirstExecArgument(QStringView exec) {
    QString argument;
    qsizetype i = 0;
    while (i < exec.size() && (exec[i] == u' ' || exec[i] == u'\t')) ++i;
    const bool quoted = i < exec.size() && exec[i] == u'"';
    if (quoted) ++i;
    for (; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (quoted && c == u'"') return argument;
        if (!quoted && (c == u' ' || c == u'\t')) break;
        if (quoted && c == u'\\' && i + 1 < exec.size() && kEscapedInQuotes.contains(exec[i + 1])) {
            argument.append(exec[++i]);
        } else {
            argument.append(c);
            if (c == u'%' && i + 1 < exec.size() && exec[i + 1] == u'%') ++i;
        }
    }
    if (quoted) return std::nullopt;
    return argument;
}

// The Exec value of the [Desktop Entry] group, still with its string escapes.
std::optional<QString> ExecValue(const QString& entry) {
    bool inMainGroup = false;
    for (const QString& rawLine : entry.split(u'\n')) {
        const QString line = rawLine.trimmed();
        if (line.startsWith(u'[')) {
            inMainGroup = line == u"[Desktop Entry]";
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (inMainGroup && equals > 0 && line.left(equals).trimmed() == u"Exec") return line.mid(equals + 1).trimmed();
    }
    return std::nullopt;
}

}  // namespace

QString AutorunEntryPath() { return AutostartFolder() + QStringLiteral("/Ostrovid.desktop"); }

int QueryAutorun(QString* programPath) {
    QFile file(AutorunEntryPath());
    if (!file.open(QIODevice::ReadOnly)) return file.exists() ? kErrorAccessDenied : kErrorFileNotFound;
    const std::optional<QString> exec = ExecValue(QString::fromUtf8(file.readAll()));
    const std::optional<QString> argument = exec ? FirstExecArgument(UnescapeStringValue(*exec)) : std::nullopt;
    if (!argument || argument->isEmpty()) return kErrorBadFormat;
    *programPath = *argument;
    return kErrorSuccess;
}

int SetAutorun(const QString& programPath) {
    if (programPath.isEmpty() || !regtree::IsWellFormedText(programPath)) return kErrorInvalidParameter;
    const QString entry = QStringLiteral("[Desktop Entry]\nType=Application\nName=Ostrovid\nExec=%1\n")
                              .arg(EscapeStringValue(QuoteExecArgument(programPath)));
    return WriteFileUnderLock(AutorunEntryPath(), entry.toUtf8(), FileReaders::Everyone);
}

int DeleteAutorun() {
    if (::unlink(QFile::encodeName(AutorunEntryPath()).constData()) != 0) return ErrorCodeFromErrno(errno);
    return kErrorSuccess;
}

}  // namespace platform
