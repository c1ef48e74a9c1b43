// Sets up the embedded person database of a fresh installation: prepares the data folder
// (root:ostrovid 2770) and the store's folder, creates <data folder>/Ostrovid.db with the schema
// when it is missing (0660, group ostrovid) and, when the store holds no
// DbConnectionString (or an empty one), stores the SQLite string of that file.
// Run by the setup script and the package as root; the settings service is the store's writer
// otherwise. Usage: ostrovid-dbinit [--root DIR]
// --root DIR: the system being set up lies below DIR (dpkg --root): every file is made there, but
// the stored string names the database as that system will see it.

#include "app/database/connection_string.h"
#include "app/database/db_schema.h"
#include "platform/operator_group.h"
#include "platform/owned_folder.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "settings/registry_names.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

namespace {

int Fail(const QString& text) {
    std::fprintf(stderr, "ostrovid-dbinit: %s\n", qUtf8Printable(text));
    return 1;
}

// The stored string, empty when the value is missing or not a string.
QString StoredConnectionString(const platform::RegistryStore& store) {
    const QString& key = settings::regnames::kAppKey;
    const QString& name = settings::regnames::app::kDbConnectionString;
    platform::RegType type = platform::RegType::None;
    uint32_t size = 0;
    if (store.QueryValue(key, name, &type, nullptr, &size) != 0 && size == 0) return {};
    if (type != platform::RegType::Sz || size < 2) return {};
    std::vector<char16_t> buffer(size / 2 + 1, u'\0');
    uint32_t bytes = size;
    if (store.QueryValue(key, name, &type, buffer.data(), &bytes) != 0) return {};
    return QString::fromUtf16(buffer.data());
}

// The operators' program changes the database; nobody else may (an existing file is corrected
// too, so that an installation made before the group existed is closed). Never through a link.
bool GiveDatabaseToOperators(const QString& file) {
    const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    const platform::GroupOutcome outcome =
        regular ? platform::GiveToOperators(fd, 0660) : platform::GroupOutcome::Failed;
    ::close(fd);
    if (outcome == platform::GroupOutcome::GroupMissing)
        std::printf("ostrovid-dbinit: the group %s does not exist; %s stays with its owner's group\n",
                    platform::kOperatorGroupName, qUtf8Printable(file));
    return outcome != platform::GroupOutcome::Failed;
}

// Says what was corrected; a folder that cannot be used ends the tool.
bool Prepared(const platform::FolderReport& report) {
    for (const QString& note : report.notes) std::printf("ostrovid-dbinit: %s\n", qUtf8Printable(note));
    if (report.error == 0) return true;
    Fail(QStringLiteral("cannot prepare %1 (%2)").arg(report.folder).arg(report.error));
    return false;
}

// The install root of --root (absolute, without a trailing '/'); empty for the running system.
// Nothing, after the usage is printed, when the arguments are wrong.
std::optional<QString> InstallRoot(int argc, char** argv) {
    if (argc == 1) return QString();
    QString root = argc == 3 && std::strcmp(argv[1], "--root") == 0 ? QString::fromLocal8Bit(argv[2]) : QString();
    while (root.size() > 1 && root.endsWith(u'/')) root.chop(1);
    if (!root.startsWith(u'/')) {
        std::fprintf(stderr, "usage: ostrovid-dbinit [--root /ABSOLUTE/DIR]\n");
        return std::nullopt;
    }
    return root == QStringLiteral("/") ? QString() : root;
}

}  // namespace

int main(int argc, char** argv) {
    const std::optional<QString> root = InstallRoot(argc, argv);
    if (!root) return 2;
    // The database file as the installed system names it; every path below is then moved under
    // the root through the overrides the whole setup honours.
    const QString installedFile = platform::ProgramDataFolder() + QStringLiteral("/Ostrovid.db");
    if (!root->isEmpty()) {
        qputenv("OSTROVID_COMMON_APPDATA", QFile::encodeName(*root + platform::CommonAppDataFolder()));
        qputenv("OSTROVID_REGISTRY", QFile::encodeName(*root + platform::RegistryFilePath()));
    }
    // The system's folders above ours (overridden ones in tests) are made as usual.
    QDir().mkpath(platform::CommonAppDataFolder());
    QDir().mkpath(QFileInfo(QFileInfo(platform::RegistryFilePath()).absolutePath()).absolutePath());
    // The operators' program writes its CSV logs and the database here, as the service sets it up.
    if (!Prepared(platform::PrepareProgramDataFolder()) || !Prepared(platform::PrepareStoreFolder())) return 1;
    const QString folder = platform::ProgramDataFolder();

    const QString file = QDir(folder).filePath(QStringLiteral("Ostrovid.db"));
    if (!QFileInfo::exists(file)) {
        try {
            database::CreateSqliteDatabaseFile(file);
        } catch (const database::DbError& error) {
            QFile::remove(file);
            return Fail(QStringLiteral("cannot create %1: %2").arg(file, error.Description()));
        }
        std::printf("ostrovid-dbinit: created %s\n", qUtf8Printable(file));
    }

    if (!GiveDatabaseToOperators(file)) return Fail(QStringLiteral("cannot set the mode of ") + file);

    const QString storePath = platform::RegistryFilePath();
    platform::RegistryStore store(storePath);
    if (int code = store.Load(); code != 0) return Fail(QStringLiteral("cannot read %1 (%2)").arg(storePath).arg(code));
    if (!StoredConnectionString(store).isEmpty()) return 0;

    database::ConnectionParams params;
    params.provider = database::DbProvider::SQLite;
    params.dataSource = installedFile;
    const QString connectionString = database::ComposeConnectionString(params);
    if (int code = store.CreateKey(settings::regnames::kAppKey); code != 0) {
        return Fail(QStringLiteral("cannot create the settings key (%1)").arg(code));
    }
    if (int code = store.SetString(settings::regnames::kAppKey, settings::regnames::app::kDbConnectionString,
                                   connectionString);
        code != 0) {
        return Fail(QStringLiteral("cannot set DbConnectionString (%1)").arg(code));
    }
    if (int code = store.Save(); code != 0)
        return Fail(QStringLiteral("cannot write %1 (%2)").arg(storePath).arg(code));
    std::printf("ostrovid-dbinit: DbConnectionString set to \"%s\"\n", qUtf8Printable(connectionString));
    return 0;
}
