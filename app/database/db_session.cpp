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

int ExecuteChangeAwaited(DbCommand& command, const QString& text) {
    command.SetCommandText(text);
    return ExecuteChangeAwaited(command);
}

DbRecordset& ExecuteQueryAwaited(DbCommand& command, const QString& text) {
    command.SetCommandText(text);
    return ExecuteQueryAwaited(command);
}

bool PostChangeJournal(const DbSession& session, const QString& event, const QString& description) {
    return session.journal.PostDatabase(shell::DatabaseIcon::Info, event, description, shell::DatabaseState::Unchanged);
}

void RequireChangedRow(int changedRows, const QString& missingText) {
    if (changedRows == 0) throw DbError(missingText);
}

}  // namespace database
