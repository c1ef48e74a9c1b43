#include "platform/autorun.h"

#include "platform/atomic_file.h"
#include "platform/paths.h"
#include "platform/syserror.h"

#include <QFile>

namespace platform {

namespace {

constexpr QStringView kReservedInExec = u" \t\n\"'\\><~|&;$*?#()`";

// The Exec= value for one program path, quoted and escaped as desktop entries require.
QString ExecValue(const QString& programPath) {
    QString argument;
    bool quote = false;
    for (QChar c : programPath) {
        if (kReservedInExec.contains(c)) quote = true;
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') argument += u'\\';
        if (c == u'%') argument += u'%';
        argument += c;
    }
    if (quote) argument = u'"' + argument + u'"';
    // The general string escapes of the file format come on top of the quoting.
    QString value;
    for (QChar c : argument) {
        if (c == u'\\') value += QStringLiteral("\\\\");
        else if (c == u'\n') value += QStringLiteral("\\n");
        else if (c == u'\t') value += QStringLiteral("\\t");
        else value += c;
    }
    return value;
}

QString ProgramPathOfExec(const QString& value) {
    QString argument;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == u'\\' && i + 1 < value.size()) {
            const QChar next = value[++i];
            argument += next == u'n' ? QChar(u'\n') : next == u't' ? QChar(u'\t') : next;
        } else {
            argument += value[i];
        }
    }
    QString path;
    const bool quoted = argument.size() >= 2 && argument.startsWith(u'"') && argument.endsWith(u'"');
    const QString body = quoted ? argument.mid(1, argument.size() - 2) : argument;
    for (qsizetype i = 0; i < body.size(); ++i) {
        if (quoted && body[i] == u'\\' && i + 1 < body.size()) ++i;
        else if (body[i] == u'%' && i + 1 < body.size() && body[i + 1] == u'%') ++i;
        path += body[i];
    }
    return path;
}

}  // namespace

QString AutorunEntryPath() { return AutostartFolder() + QStringLiteral("/Ostrovid.desktop"); }

int QueryAutorun(QString* programPath) {
    QByteArray bytes;
    if (const int error = ReadWholeFile(AutorunEntryPath(), &bytes); error != 0) return error;
    for (const QString& line : QString::fromUtf8(bytes).split(u'\n')) {
        if (line.startsWith(QStringLiteral("Exec="))) {
            *programPath = ProgramPathOfExec(line.mid(5));
            return 0;
        }
    }
    return kErrorFileNotFound;
}

int SetAutorun(const QString& programPath) {
    const QString entry = QStringLiteral(
                              "[Desktop Entry]\n"
                              "Type=Application\n"
                              "Name=Ostrovid\n"
                              "Exec=%1\n"
                              "X-GNOME-Autostart-enabled=true\n")
                              .arg(ExecValue(programPath));
    return ReplaceFileAtomically(AutorunEntryPath(), entry.toUtf8(), 0644);
}

int DeleteAutorun() {
    if (QFile::remove(AutorunEntryPath())) return 0;
    return QFile::exists(AutorunEntryPath()) ? kErrorAccessDenied : kErrorFileNotFound;
}

}  // namespace platform
