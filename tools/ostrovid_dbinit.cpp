// Sets up the embedded person database of a fresh installation: creates
// <data folder>/Ostrovid.db with the schema when it is missing and, when the store holds no
// DbConnectionString (or an empty one), stores the SQLite string of that file.
// Run by the setup script as root; the settings service is the store's writer otherwise.

#include "app/database/connection_string.h"
#include "app/database/db_schema.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "settings/registry_names.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

#include <cstdio>
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

}  // namespace

int main() {
    const QString folder = platform::ProgramDataFolder();
    if (!QDir().mkpath(folder)) return Fail(QStringLiteral("cannot create ") + folder);
    // Every user's program writes its CSV logs and the database here, as the service sets it up.
    ::chmod(QFile::encodeName(folder).constData(), 01777);

    const QString file = QDir(folder).filePath(QStringLiteral("Ostrovid.db"));
    if (!QFileInfo::exists(file)) {
        try {
            database::CreateSqliteDatabaseFile(file);
        } catch (const database::DbError& error) {
            QFile::remove(file);
            return Fail(QStringLiteral("cannot create %1: %2").arg(file, error.Description()));
        }
        // The program runs as the logged-in user and changes the database.
        ::chmod(QFile::encodeName(file).constData(), 0666);
        std::printf("ostrovid-dbinit: created %s\n", qUtf8Printable(file));
    }

    const QString storePath = platform::RegistryFilePath();
    QDir().mkpath(QFileInfo(storePath).path());
    platform::RegistryStore store(storePath);
    if (int code = store.Load(); code != 0) return Fail(QStringLiteral("cannot read %1 (%2)").arg(storePath).arg(code));
    if (!StoredConnectionString(store).isEmpty()) return 0;

    database::ConnectionParams params;
    params.provider = database::DbProvider::SQLite;
    params.dataSource = file;
    const QString connectionString = database::ComposeConnectionString(params);
    if (int code = store.CreateKey(settings::regnames::kAppKey); code != 0) {
        return Fail(QStringLiteral("cannot create the settings key (%1)").arg(code));
    }
    if (int code = store.SetString(settings::regnames::kAppKey, settings::regnames::app::kDbConnectionString,
                                   connectionString);
        code != 0) {
        return Fail(QStringLiteral("cannot set DbConnectionString (%1)").arg(code));
    }
    if (int code = store.Save(); code != 0) return Fail(QStringLiteral("cannot write %1 (%2)").arg(storePath).arg(code));
    std::printf("ostrovid-dbinit: DbConnectionString set to \"%s\"\n", qUtf8Printable(connectionString));
    return 0;
}
