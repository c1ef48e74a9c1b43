#include "service/trusted_program.h"

#include "platform/log.h"
#include "platform/paths.h"
#include "platform/syserror.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

#include <cerrno>

namespace service {

namespace {

int Refuse(const char* caller, const QString& reason) {
    WriteLog(QStringLiteral("%1(): %2").arg(QLatin1String(caller), reason));
    return platform::kErrorAccessDenied;
}

}  // namespace

QString TrustedProgramPath() {
    if (!qEnvironmentVariableIsEmpty("OSTROVID_PROGRAM_PATH")) return qEnvironmentVariable("OSTROVID_PROGRAM_PATH");
    return platform::ProgramFolder() + QStringLiteral("/Ostrovid");
}

int CheckTrustedProgramFile(const QString& path, const char* caller) {
    const QString trusted = TrustedProgramPath();
    if (path != trusted) return Refuse(caller, QStringLiteral("'%1' is not the program %2.").arg(path, trusted));
    struct stat st {};
    if (lstat(QFile::encodeName(path).constData(), &st) != 0)
        return Refuse(
            caller,
            QStringLiteral("'%1': %2").arg(path, platform::FormatSystemError(platform::ErrorCodeFromErrno(errno))));
    if (!S_ISREG(st.st_mode) || st.st_uid != 0 || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return Refuse(caller, QStringLiteral("'%1' is not a regular file of root that only root may write.").arg(path));
    // Whoever may write the folder may put another file of root's there under the program's name.
    const QString folder = QFileInfo(path).absolutePath();
    if (lstat(QFile::encodeName(folder).constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != 0 ||
        (st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return Refuse(caller, QStringLiteral("'%1' is not a folder of root that only root may write.").arg(folder));
    return platform::kErrorSuccess;
}

bool RunsTrustedProgram(const platform::ProcessView& process) {
    return process.RunsExecutable(QFile::encodeName(TrustedProgramPath()).toStdString());
}

}  // namespace service
