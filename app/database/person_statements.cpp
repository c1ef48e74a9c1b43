#include "app/database/person_statements.h"

#include "app/database/db_schema.h"
#include "app/database/db_session.h"
#include "app/database/db_text.h"

#include <QStringList>

#include <utility>

namespace database {

namespace {

const QString kPersonColumns = QStringLiteral(
    "SELECT P.PERSON_ID,P.LIST_NUM,P.SURNAME,P.FORENAME,P.SECONDNAME,P.ALIAS,P.EXT_KEY,P.Gender,P.DateOfBirth,"
    "P.ADDRESS,P.CONTACTS,P.DESCRIPTION,P.SPEECH,");

QVariant Column(const DbRecordset& rows, const char* name) { return rows.Field(QLatin1String(name)); }

// A column's text fitted to its field; NULL gives an empty text.
QString FieldText(const DbRecordset& rows, const char* column, size_t capacity, const char* operation,
                  int32_t personId) {
    return ColumnText(ReadText(Column(rows, column)), capacity, operation, column, static_cast<uint32_t>(personId));
}

std::unique_ptr<PersonRecord> ReadPersonRow(const DbRecordset& rows, const char* operation) {
    auto record = std::make_unique<PersonRecord>();
    const int32_t id = ReadInteger(Column(rows, "PERSON_ID"));
    record->personId = id;
    const auto list = WatchListFromNumber(ReadInteger(Column(rows, "LIST_NUM")));
    const auto gender = GenderFromNumber(ReadInteger(Column(rows, "Gender")));
    if (!list || !gender) throw DbError(QStringLiteral("Type mismatch."));
    record->list = *list;
    PersonFields& f = record->fields;
    f.surname = FieldText(rows, "SURNAME", kNameUnits, operation, id);
    f.forename = FieldText(rows, "FORENAME", kNameUnits, operation, id);
    f.secondName = FieldText(rows, "SECONDNAME", kNameUnits, operation, id);
    f.alias = FieldText(rows, "ALIAS", kAliasUnits, operation, id);
    f.externalKey = FieldText(rows, "EXT_KEY", kExternalKeyUnits, operation, id);
    f.gender = *gender;
    f.dateOfBirth = ReadDate(Column(rows, "DateOfBirth"));
    f.address = FieldText(rows, "ADDRESS", kLongTextUnits, operation, id);
    f.contacts = FieldText(rows, "CONTACTS", kLongTextUnits, operation, id);
    f.description = FieldText(rows, "DESCRIPTION", kLongTextUnits, operation, id);
    f.speech = FieldText(rows, "SPEECH", kLongTextUnits, operation, id);
    record->sampleCount = ReadInteger(Column(rows, "SAMPLESCOUNT"));
    return record;
}

void AppendPersonId(DbCommand& command, int32_t personId) {
    command.AppendInteger(QStringLiteral("PERSON_ID"), personId);
}

// How an empty optional text is bound: as an empty string (inserts, searches) or as NULL (update).
enum class EmptyText { AsText, AsNull };

void AppendColumnText(DbCommand& command, const char* column, const QString& value, size_t capacity, EmptyText empty) {
    const QString fitted = FitText(value, capacity);
    if (empty == EmptyText::AsNull) {
        command.AppendOptionalText(QLatin1String(column), fitted);
    } else {
        command.AppendText(QLatin1String(column), fitted);
    }
}

// SURNAME always as text, FORENAME and SECONDNAME as `empty` says.
void AppendNameColumns(DbCommand& command, const PersonName& name, EmptyText empty) {
    AppendColumnText(command, "SURNAME", name.surname, kNameUnits, EmptyText::AsText);
    AppendColumnText(command, "FORENAME", name.forename, kNameUnits, empty);
    AppendColumnText(command, "SECONDNAME", name.secondName, kNameUnits, empty);
}

}  // namespace

QString ListFilterText(const settings::DbWinSettings& filters) {
    QStringList lists;
    if (filters.WhiteList != 0) lists.append(QStringLiteral("0"));
    if (filters.BlackList != 0) lists.append(QStringLiteral("1"));
    if (filters.GrayList != 0) lists.append(QStringLiteral("2"));
    if (lists.isEmpty()) return QStringLiteral("0,1,2");
    return lists.join(QLatin1Char(','));
}

QString PersonsListStatement(const QString& listFilter) {
    return kPersonColumns +
           QStringLiteral(
               "(SELECT COUNT(*) FROM SAMPLES WHERE PERSON_ID = P.PERSON_ID) AS SAMPLESCOUNT from PERSONS "
               "AS P WHERE P.LIST_NUM IN (%1)")
               .arg(listFilter);
}

QString ChoosePersonListStatement() {
    return kPersonColumns +
           QStringLiteral(
               " (SELECT COUNT(*) FROM SAMPLES WHERE PERSON_ID = P.PERSON_ID) AS SAMPLESCOUNT from PERSONS "
               "AS P");
}

void ReadPersonRows(DbConnection& connection, const QString& statement, const char* operation, PersonRows& rows) {
    DbCommand command(connection);
    command.SetCommandText(statement);
    DbRecordset& result = ExecuteQueryAwaited(command);
    for (; !result.Eof(); result.MoveNext()) rows.push_back(ReadPersonRow(result, operation));
    result.Close();
}

int32_t InsertPersonRow(DbConnection& connection, WatchList list, const PersonFields& fields) {
    DbCommand command(connection);
    const bool withDate = fields.dateOfBirth != kNoDateOfBirth;
    command.SetCommandText(
        withDate ? QStringLiteral("INSERT INTO PERSONS (STATE,LIST_NUM,SURNAME,FORENAME,SECONDNAME,ALIAS,EXT_KEY,"
                                  "Gender,DateOfBirth) VALUES (0,?,?,?,?,?,?,?,?)")
                 : QStringLiteral("INSERT INTO PERSONS (STATE,LIST_NUM,SURNAME,FORENAME,SECONDNAME,ALIAS,EXT_KEY,"
                                  "Gender) VALUES (0,?,?,?,?,?,?,?)"));
    command.AppendInteger(QStringLiteral("LIST_NUM"), static_cast<int32_t>(list));
    AppendNameColumns(command, fields.Name(), EmptyText::AsText);
    AppendColumnText(command, "ALIAS", fields.alias, kAliasUnits, EmptyText::AsText);
    AppendColumnText(command, "EXT_KEY", fields.externalKey, kExternalKeyUnits, EmptyText::AsText);
    command.AppendInteger(QStringLiteral("Gender"), static_cast<int32_t>(fields.gender));
    if (withDate) command.AppendDate(QStringLiteral("DateOfBirth"), fields.dateOfBirth);
    command.Execute(kExecChange);
    command.SetCommandText(StatementText(DbStatement::PersonIdentity, connection.Provider()));
    command.Execute(kExecSync);
    DbRecordset& identity = command.Recordset();
    if (identity.Eof()) throw DbError(QStringLiteral("The new person's id was not returned."));
    return ReadInteger(identity.Field(QStringLiteral("PERSONID")));
}

void DeletePersonRow(DbConnection& connection, int32_t personId) {
    DbCommand command(connection);
    command.SetCommandText(QStringLiteral("DELETE FROM PERSONS WHERE PERSON_ID=?"));
    AppendPersonId(command, personId);
    command.Execute(kExecChange);
    RequireChangedRow(command.RowsAffected(), kPersonMissingText);
}

void UpdatePersonList(DbConnection& connection, int32_t personId, WatchList list) {
    DbCommand command(connection);
    command.SetCommandText(QStringLiteral("UPDATE PERSONS SET LIST_NUM=? WHERE PERSON_ID=?"));
    command.AppendInteger(QStringLiteral("LIST_NUM"), static_cast<int32_t>(list));
    AppendPersonId(command, personId);
    RequireChangedRow(ExecuteChangeAwaited(command), kPersonMissingText);
}

void UpdatePersonFields(DbConnection& connection, int32_t personId, const PersonFields& fields) {
    DbCommand command(connection);
    command.SetCommandText(
        QStringLiteral("UPDATE PERSONS SET SURNAME=?,FORENAME=?,SECONDNAME=?,ALIAS=?,EXT_KEY=?,Gender=?,DateOfBirth=?,"
                       "ADDRESS=?,CONTACTS=?,DESCRIPTION=?,SPEECH=? WHERE PERSON_ID=?"));
    AppendNameColumns(command, fields.Name(), EmptyText::AsNull);
    AppendColumnText(command, "ALIAS", fields.alias, kAliasUnits, EmptyText::AsNull);
    AppendColumnText(command, "EXT_KEY", fields.externalKey, kExternalKeyUnits, EmptyText::AsNull);
    command.AppendInteger(QStringLiteral("Gender"), static_cast<int32_t>(fields.gender));
    command.AppendDate(QStringLiteral("DateOfBirth"), fields.dateOfBirth);
    for (const auto& [column, value] :
         {std::pair{"ADDRESS", &fields.address}, std::pair{"CONTACTS", &fields.contacts},
          std::pair{"DESCRIPTION", &fields.description}, std::pair{"SPEECH", &fields.speech}}) {
        AppendColumnText(command, column, *value, kLongTextUnits, EmptyText::AsNull);
    }
    AppendPersonId(command, personId);
    RequireChangedRow(ExecuteChangeAwaited(command), kPersonMissingText);
}

std::optional<int32_t> FindPersonByName(DbConnection& connection, const PersonName& name) {
    DbCommand command(connection);
    command.SetCommandText(
        QStringLiteral("SELECT PERSON_ID FROM PERSONS WHERE SURNAME=? AND COALESCE(FORENAME,'')=? AND "
                       "COALESCE(SECONDNAME,'')=? ORDER BY PERSON_ID"));
    AppendNameColumns(command, name, EmptyText::AsText);
    command.Execute(kExecSync);
    DbRecordset& rows = command.Recordset();
    if (rows.Eof()) return std::nullopt;
    return ReadInteger(rows.Field(QStringLiteral("PERSON_ID")));
}

}  // namespace database
