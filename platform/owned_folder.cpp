#include "platform/owned_folder.h"

#include "platform/operator_group.h"
#include "platform/paths.h"
#include "platform/syserror.h"
#include "platform/unique_fd.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

namespace {

QString Octal(mode_t mode) { return QStringLiteral("%1").arg(mode & 07777, 4, 8, QLatin1Char('0')); }

FolderReport Refuse(FolderReport report, int error, const QString& note) {
    report.error = error;
    report.notes.append(note);
    return report;
}

}  // namespace

FolderReport PrepareOwnedFolder(const QString& path, mode_t mode, FolderGroup group) {
    FolderReport report;
    report.folder = path;
    const QFileInfo info(path);
    const QByteArray parentPath = QFile::encodeName(info.absolutePath());
    const QByteArray name = QFile::encodeName(info.fileName());
    const UniqueFd parent(::open(parentPath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (parent.get() < 0)
        return Refuse(report, ErrorCodeFromErrno(errno),
                      QStringLiteral("Folder '%1' cannot be opened.").arg(info.absolutePath()));

    const bool created = ::mkdirat(parent.get(), name.constData(), mode & 0777) == 0;
    if (!created && errno != EEXIST)
        return Refuse(report, ErrorCodeFromErrno(errno), QStringLiteral("Folder '%1' cannot be created.").arg(path));
    const UniqueFd folder(::openat(parent.get(), name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (folder.get() < 0) {
        const int openError = errno;
        struct stat found {};
        if (::fstatat(parent.get(), name.constData(), &found, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(found.st_mode))
            return Refuse(report, kErrorAccessDenied,
                          QStringLiteral("Folder '%1' is a symbolic link; it is not followed. Replace it by a real "
                                         "folder (or a bind mount).")
                              .arg(path));
        return Refuse(report, ErrorCodeFromErrno(openError),
                      QStringLiteral("'%1' is not a folder that can be opened.").arg(path));
    }

    struct stat before {};
    if (::fstat(folder.get(), &before) != 0)
        return Refuse(report, ErrorCodeFromErrno(errno), QStringLiteral("Folder '%1' cannot be examined.").arg(path));
    const uid_t self = ::geteuid();
    if (before.st_uid != self && self != 0) {
        // A process that is not root cannot be led beyond its own rights; it uses the folder as it is.
        report.notes.append(
            QStringLiteral("Folder '%1' belongs to user %2; it is left as it is.").arg(path).arg(before.st_uid));
        return report;
    }
    if (before.st_uid != self) {
        if (::fchown(folder.get(), 0, static_cast<gid_t>(-1)) != 0)
            return Refuse(report, ErrorCodeFromErrno(errno),
                          QStringLiteral("Folder '%1' cannot be taken over.").arg(path));
    }

    if (group == FolderGroup::Operators) {
        switch (GiveToOperators(folder.get(), mode)) {
        case GroupOutcome::Given:
            break;
        case GroupOutcome::GroupMissing:
            report.notes.append(QStringLiteral("Group '%1' does not exist; folder '%2' keeps group %3.")
                                    .arg(QLatin1String(kOperatorGroupName), path)
                                    .arg(before.st_gid));
            break;
        case GroupOutcome::NotPermitted:
            report.notes.append(QStringLiteral("Folder '%1' cannot be given to group '%2'; it keeps group %3.")
                                    .arg(path, QLatin1String(kOperatorGroupName))
                                    .arg(before.st_gid));
            break;
        case GroupOutcome::Failed:
            return Refuse(report, ErrorCodeFromErrno(errno),
                          QStringLiteral("Folder '%1' cannot get mode %2.").arg(path, Octal(mode)));
        }
    } else if (::fchmod(folder.get(), mode) != 0) {
        return Refuse(report, ErrorCodeFromErrno(errno),
                      QStringLiteral("Folder '%1' cannot get mode %2.").arg(path, Octal(mode)));
    }

    struct stat after {};
    if (::fstat(folder.get(), &after) != 0)
        return Refuse(report, ErrorCodeFromErrno(errno), QStringLiteral("Folder '%1' cannot be examined.").arg(path));
    // The kernel drops the set-group-id bit for a process outside the group without CAP_FSETID.
    if ((after.st_mode & 07777) != (mode & 07777))
        report.notes.append(
            QStringLiteral("Folder '%1' has mode %2 instead of %3.").arg(path, Octal(after.st_mode), Octal(mode)));
    if (!created && (before.st_uid != after.st_uid || before.st_gid != after.st_gid ||
                     (before.st_mode & 07777) != (after.st_mode & 07777)))
        report.notes.append(QStringLiteral("Folder '%1' was %2:%3 %4, now %5:%6 %7.")
                                .arg(path)
                                .arg(before.st_uid)
                                .arg(before.st_gid)
                                .arg(Octal(before.st_mode))
                                .arg(after.st_uid)
                                .arg(after.st_gid)
                                .arg(Octal(after.st_mode)));
    return report;
}

FolderReport PrepareStoreFolder() {
    return PrepareOwnedFolder(QFileInfo(RegistryFilePath()).absolutePath(), 0750, FolderGroup::Operators);
}

FolderReport PrepareProgramDataFolder() {
    FolderReport vektra = PrepareOwnedFolder(CommonAppDataFolder() + QStringLiteral("/Vektra"), 0755, FolderGroup::Own);
    if (vektra.error != kErrorSuccess) return vektra;
    FolderReport data = PrepareOwnedFolder(ProgramDataFolder(), 02770, FolderGroup::Operators);
    data.notes = vektra.notes + data.notes;
    return data;
}

}  // namespace platform
