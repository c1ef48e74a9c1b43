#include "platform/paths.h"

#include <unistd.h>
#include <QFile>

#include <climits>

namespace platform {

namespace {

QString EnvironmentOr(const char* name, const QString& fallback) {
    return qEnvironmentVariableIsEmpty(name) ? fallback : qEnvironmentVariable(name);
}

QString WithoutTrailingSlashes(QString path) {
    while (path.size() > 1 && path.endsWith(u'/')) path.chop(1);
    return path;
}

}  // namespace

QString ProgramFilePath() {
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof buffer) return {};
    return QFile::decodeName(QByteArray(buffer, static_cast<qsizetype>(length)));
}

QString ProgramFolder() {
    const QString file = ProgramFilePath();
    const qsizetype slash = file.lastIndexOf(u'/');
    if (slash < 0) return {};
    return slash == 0 ? QStringLiteral("/") : file.left(slash);
}

bool EnterProgramFolder() {
    const QString folder = ProgramFolder();
    return !folder.isEmpty() && chdir(QFile::encodeName(folder).constData()) == 0;
}

QString TempFolder() {
    QString folder = EnvironmentOr("TMPDIR", QStringLiteral("/tmp"));
    if (!folder.endsWith(u'/')) folder += u'/';
    return folder;
}

QString CommonAppDataFolder() {
    return WithoutTrailingSlashes(EnvironmentOr("OSTROVID_COMMON_APPDATA", QStringLiteral("/var/lib")));
}

QString ProgramDataFolder() { return CommonAppDataFolder() + QStringLiteral("/Vektra/Ostrovid"); }

QString RegistryFilePath() {
    return EnvironmentOr("OSTROVID_REGISTRY", QStringLiteral("/var/lib/ostrovid/registry.reg"));
}

QString AutostartFolder() {
    return WithoutTrailingSlashes(EnvironmentOr("OSTROVID_AUTOSTART_DIR", QStringLiteral("/etc/xdg/autostart")));
}

}  // namespace platform
