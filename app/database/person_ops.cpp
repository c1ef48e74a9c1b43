#include "app/database/person_ops.h"

#include "app/shell/journal.h"

#include <new>

namespace database {

namespace {

const QString kOutOfMemoryText = QStringLiteral("Недостаточно памяти в системе");

// The handling of the commands that are not retried: the error is caught once, logged and shown
// with caption "Ошибка выполнения SQL команды"; a begun transaction is rolled back first.
template <typename Body>
bool RunPersonCommand(const char* operation, DbSession& session, Body&& body) {
    DbTransaction transaction(session.connection);
    WaitCursorScope cursor(session.ui);
    const auto fail = [&](const QString& description) {
        cursor.Restore();
        LogDbException(operation, description);
        transaction.RollbackAfterFailure();
        session.ui.ShowError(kCaptionCommandError, description);
        return false;
    };
    try {
        body(transaction);
        return true;
    } catch (const DbError& error) {
        return fail(error.Description());
    } catch (const std::bad_alloc&) {
        return fail(QStringLiteral("Out of memory"));
    }
}

DbOpResult ReadList(const char* operation, DbSession& session, const QString& statement, int32_t selectPersonId,
                    PersonList& list) {
    list.selected = nullptr;
    list.rows.clear();
    const DbOpResult result = RunDbOperation(
        operation, DbOpKind::Read, session.ui, session.connection, session.connectionString, [&](DbTransaction&) {
            try {
                ReadPersonRows(session.connection, statement, operation, list.rows);
            } catch (const std::bad_alloc&) {
                session.dialogs.ShowNotice(kOutOfMemoryText, NoticeIcon::Error);
            }
        });
    for (const auto& row : list.rows) {
        if (row->personId == selectPersonId) list.selected = row.get();
    }
    return result;
}

std::optional<int32_t> InsertPerson(const char* operation, DbSession& session, WatchList list,
                                    const PersonFields& fields) {
    int32_t id = 0;
    // One transaction, so that a failure of the identity query does not leave an unreported row.
    const bool done = RunPersonCommand(operation, session, [&](DbTransaction& transaction) {
        transaction.Begin();
        id = InsertPersonRow(session.connection, list, fields);
        transaction.Commit();
    });
    if (!done) return std::nullopt;
    return id;
}

}  // namespace

QString PersonJournalText(const PersonName& name) { return name.Spaced(); }

QString ListChangeJournalText(const PersonName& name, WatchList from, WatchList to) {
    return name.Spaced() + QStringLiteral(": ") + WatchListJournalName(from) + QStringLiteral(" -> ") +
           WatchListJournalName(to);
}

DbOpResult HandleGetDbPersonsList(DbSession& session, const settings::DbWinSettings& filters, int32_t selectPersonId,
                                  PersonList& list) {
    return ReadList("HandleGetDbPersonsList", session, PersonsListStatement(ListFilterText(filters)), selectPersonId,
                    list);
}

DbOpResult HandleGetDbChoosePersonList(DbSession& session, int32_t selectPersonId, PersonList& list) {
    return ReadList("HandleGetDbChoosePersonList", session, ChoosePersonListStatement(), selectPersonId, list);
}

std::optional<int32_t> HandleNewPersonCmd(DbSession& session, WatchList list, const PersonFields& fields) {
    const auto id = InsertPerson("HandleNewPersonCmd", session, list, fields);
    if (id) PostChangeJournal(session, QStringLiteral("Создана новая персона"), PersonJournalText(fields.Name()));
    return id;
}

std::optional<int32_t> HandleChooseDbDestNewPersonCmd(DbSession& session, WatchList list, const PersonFields& fields) {
    return InsertPerson("HandleChooseDbDestNewPersonCmd", session, list, fields);
}

bool HandleDeletePersonCmd(DbSession& session, const PersonRecord& person) {
    const bool done = RunPersonCommand("HandleDeletePersonCmd", session,
                                       [&](DbTransaction&) { DeletePersonRow(session.connection, person.personId); });
    if (done) PostChangeJournal(session, QStringLiteral("Удалена персона"), PersonJournalText(person.fields.Name()));
    return done;
}

bool ChangeListForPerson(DbSession& session, const PersonRecord& person, WatchList newList) {
    const QString description = ListChangeJournalText(person.fields.Name(), person.list, newList);
    const bool done = RunPersonCommand("ChangeListForPerson", session, [&](DbTransaction&) {
        UpdatePersonList(session.connection, person.personId, newList);
    });
    if (done) PostChangeJournal(session, QStringLiteral("Изменен список для персоны"), description);
    return done;
}

DbOpResult HandleUpdateDbPersonMetrics(DbSession& session, int32_t personId, const PersonFields& fields) {
    return RunDbOperation("HandleUpdateDbPersonMetrics", DbOpKind::Change, session.ui, session.connection,
                          session.connectionString,
                          [&](DbTransaction&) { UpdatePersonFields(session.connection, personId, fields); });
}

}  // namespace database
