#include "tools/first_run.h"

#include "app/database/db_access.h"
#include "platform/registry.h"
#include "settings/load_settings.h"
#include "settings/registry_names.h"

#include <memory>

namespace demo {

namespace {

FirstRunFinding Found(Configuration configuration, const QString& reason) { return {configuration, reason}; }

}  // namespace

FirstRunFinding InspectConfiguration(const QString& storePath) {
    platform::RegistryStore store(storePath);
    if (const int code = store.Load(); code != 0)
        return Found(Configuration::Unknown, QStringLiteral("cannot read %1 (%2)").arg(storePath).arg(code));
    if (store.Integrity() == platform::StoreIntegrity::Damaged)
        return Found(Configuration::Unknown,
                     QStringLiteral("%1 is damaged at line %2").arg(storePath).arg(store.DamagedLine()));
    // Any camera entry counts, even one the program would skip as incomplete: somebody made it.
    if (const QStringList cameras = store.SubkeyNames(settings::regnames::kCameraKey); !cameras.isEmpty())
        return Found(Configuration::InUse, QStringLiteral("%1 has %2 camera(s)").arg(storePath).arg(cameras.size()));
    auto state = std::make_unique<settings::SettingsState>();
    settings::LoadSettingsFromStore(store, *state);
    const QString connectionString = QString::fromUtf16(state->DbConnectionString);
    if (connectionString.isEmpty())
        return Found(Configuration::Fresh, QStringLiteral("no camera and no database in %1").arg(storePath));

    try {
        database::DbConnection connection;
        connection.Open(connectionString);
        database::DbCommand count(connection);
        count.SetCommandText(QStringLiteral("SELECT COUNT(*) AS PERSONSCOUNT FROM PERSONS"));
        count.Execute(database::kExecSync);
        database::DbRecordset& rows = count.Recordset();
        const int persons = rows.Eof() ? 0 : database::ReadInteger(rows.Field(QStringLiteral("PERSONSCOUNT")));
        if (persons > 0)
            return Found(Configuration::InUse, QStringLiteral("the person database has %1 person(s)").arg(persons));
    } catch (const database::DbError& error) {
        // The description names the server and the reason, never the password.
        return Found(Configuration::Unknown,
                     QStringLiteral("cannot read the person database: %1").arg(error.Description()));
    }
    return Found(Configuration::Fresh, QStringLiteral("no camera in %1 and no person in its database").arg(storePath));
}

}  // namespace demo
