#include "app/database/db_session.h"

namespace database {

int ExecuteChangeAwaited(DbCommand& command) {
    command.Execute(kExecChangeAsync);
    command.WaitSleeping();
    return command.RowsAffected();
}

DbRecordset& ExecuteQueryAwaited(DbCommand& command) {
    command.Execute(kExecSelectAsync);
    command.WaitSleeping();
    return command.Recordset();
}

void RequireChangedRow(int changedRows, const QString& missingText) {
    if (changedRows == 0) throw DbError(missingText);
}

}  // namespace database
