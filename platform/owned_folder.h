#pragma once
// The folders of an installation that a root process keeps for itself and the operators (store,
// data, log): made or corrected so that nobody else can swap them for a link or widen them.
// Any thread may call this.

#include <QString>
#include <QStringList>

#include <sys/types.h>

namespace platform {

enum class FolderGroup {
    Own,        // the group is left as it is; the mode alone says who may enter
    Operators,  // the folder belongs to the group "ostrovid"
};

struct FolderReport {
    QString folder;     // the folder the report is about
    int error = 0;      // a Windows code when the folder cannot be used, else 0
    QStringList notes;  // one log line per correction or refusal
};

// Makes `path` a real folder owned by this process's user with `mode` (and the operators' group
// when asked): created when missing (its parent must exist), corrected when its owner, group or
// mode differ. A link, or anything but a folder, in its place is refused and left alone, never
// followed. A folder of another user is taken over by root; any other process leaves it as it is
// (it cannot be led beyond its own rights) and a note says so. When the
// group does not exist or this process may not give it, the folder keeps its group and a note
// says so.
FolderReport PrepareOwnedFolder(const QString& path, mode_t mode, FolderGroup group);

// The folder of the settings store (RegistryFilePath): root:ostrovid 0750.
FolderReport PrepareStoreFolder();
// COMMON_APPDATA/Vektra (0755) and the program data folder in it (root:ostrovid 2770, so that
// files the operators' program makes there belong to the group too).
FolderReport PrepareProgramDataFolder();

}  // namespace platform
