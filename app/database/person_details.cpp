#include "app/database/person_details.h"

#include "app/database/db_session.h"
#include "app/database/db_text.h"
#include "app/database/person_record.h"

namespace database {

namespace {

constexpr const char* kOperation = "GetDbPersonDetails";

DbRecordset& Query(DbCommand& command, const QString& statement) {
    command.SetCommandText(statement);
    return ExecuteQueryAwaited(command);
}

QString Text(const DbRecordset& rows, const char* column, size_t capacity, int32_t personId) {
    return ColumnText(ReadText(rows.Field(QLatin1String(column))), capacity, kOperation, column,
                      static_cast<uint32_t>(personId));
}

PersonDetails Read(DbConnection& connection, int32_t personId) {
    PersonDetails details;
    DbCommand command(connection);
    command.AppendInteger(QStringLiteral("PERSON_ID"), personId);
    DbRecordset& person = Query(
        command, QStringLiteral("SELECT P.ADDRESS,P.CONTACTS,P.DESCRIPTION FROM PERSONS AS P WHERE P.PERSON_ID=?"));
    // A person deleted since it was recognized has no row: its texts stay empty.
    if (!person.Eof()) {
        details.address = Text(person, "ADDRESS", kLongTextUnits, personId);
        details.contacts = Text(person, "CONTACTS", kLongTextUnits, personId);
        details.description = Text(person, "DESCRIPTION", kLongTextUnits, personId);
    }
    DbRecordset& props = Query(command, QStringLiteral("SELECT PL.PROPNAME, PP.PROPVALUE FROM PROPLIST AS PL, "
                                                       "PERSONPROP AS PP WHERE PP.PERSON_ID=? AND "
                                                       "PL.PROP_ID=PP.PROP_ID ORDER BY PL.SEQ_NUM"));
    for (; !props.Eof(); props.MoveNext()) {
        details.properties.emplace_back(Text(props, "PROPNAME", kNameUnits, personId),
                                        Text(props, "PROPVALUE", kLongTextUnits, personId));
    }
    DbRecordset& photos = Query(command, QStringLiteral("SELECT BINDATA FROM PHOTO WHERE PERSON_ID=?"));
    for (; !photos.Eof(); photos.MoveNext()) {
        QByteArray bytes;
        if (ReadBinary(photos.Field(QStringLiteral("BINDATA")), &bytes) && !bytes.isEmpty()) {
            details.photos.push_back(std::move(bytes));
        }
    }
    return details;
}

}  // namespace

std::optional<PersonDetails> ReadPersonDetails(DbUserInterface& ui, const QString& connectionString, int32_t personId) {
    WaitCursorScope cursor(ui);
    DbConnection connection;
    try {
        connection.Open(connectionString);
    } catch (const DbError& error) {
        cursor.Restore();
        ui.ShowError(kCaptionConnection, error.Description());
        return std::nullopt;
    }
    try {
        return Read(connection, personId);
    } catch (const DbError& error) {
        cursor.Restore();
        HandleDbDialogError(kOperation, error, ui);
        return std::nullopt;
    } catch (const std::bad_alloc&) {
        cursor.Restore();
        HandleDbDialogError(kOperation, DbError(QStringLiteral("Out of memory")), ui);
        return std::nullopt;
    }
}

}  // namespace database
