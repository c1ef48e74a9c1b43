#include "app/database/property_ops.h"

#include "app/database/db_schema.h"
#include "app/database/db_text.h"
#include "app/database/person_record.h"

#include <new>

namespace database {

namespace {

const QString kOutOfMemoryText = QStringLiteral("Недостаточно памяти в системе");

template <typename Body>
DbOpResult RunPropOperation(const char* operation, DbOpKind kind, DbSession& session, Body&& body) {
    return RunDbOperation(operation, kind, session.ui, session.connection, session.connectionString,
                          [&](DbTransaction&) { body(); });
}

// Reads the rows of a query with readRow; out of memory keeps what was read and tells the operator.
template <typename Rows, typename ReadRow>
void ReadRows(DbSession& session, DbCommand& command, Rows& rows, ReadRow&& readRow) {
    DbRecordset& result = ExecuteQueryAwaited(command);
    try {
        for (; !result.Eof(); result.MoveNext()) rows.push_back(readRow(result));
    } catch (const std::bad_alloc&) {
        session.dialogs.ShowNotice(kOutOfMemoryText, NoticeIcon::Error);
    }
    result.Close();
}

void AppendPropName(DbCommand& command, const PropName& name) {
    command.AppendInteger(QStringLiteral("SEQ_NUM"), name.seqNum);
    command.AppendText(QStringLiteral("PROPNAME"), FitText(name.name, kNameUnits));
}

}  // namespace

void PropValue::Edit(const QString& value) {
    editedValue = FitText(value, kLongTextUnits);
    changed = editedValue != storedValue;
}

DbOpResult HandleGetDbPersonAddPropList(DbSession& session, PropNames& names) {
    constexpr const char* kOperation = "HandleGetDbPersonAddPropList";
    names.clear();
    return RunPropOperation(kOperation, DbOpKind::Read, session, [&] {
        DbCommand command(session.connection);
        command.SetCommandText(QStringLiteral("select PROP_ID, SEQ_NUM, PROPNAME FROM PROPLIST ORDER BY SEQ_NUM"));
        ReadRows(session, command, names, [&](const DbRecordset& rows) {
            auto name = std::make_unique<PropName>();
            name->propId = ReadInteger(rows.Field(QStringLiteral("PROP_ID")));
            name->seqNum = ReadInteger(rows.Field(QStringLiteral("SEQ_NUM")));
            name->name =
                ColumnText(ReadText(rows.Field(QStringLiteral("PROPNAME"))), kNameUnits, kOperation, "PROPNAME", 0);
            return name;
        });
    });
}

DbOpResult HandleInsertDbPersonAddProp(DbSession& session, const PropName& name) {
    return RunPropOperation("HandleInsertDbPersonAddProp", DbOpKind::Change, session, [&] {
        DbCommand command(session.connection);
        command.SetCommandText(QStringLiteral("INSERT INTO PROPLIST (SEQ_NUM, PROPNAME) VALUES(?,?)"));
        AppendPropName(command, name);
        ExecuteChangeAwaited(command);
    });
}

DbOpResult HandleUpdateDbPersonAddProp(DbSession& session, const PropName& name) {
    return RunPropOperation("HandleUpdateDbPersonAddProp", DbOpKind::Change, session, [&] {
        DbCommand command(session.connection);
        command.SetCommandText(QStringLiteral("UPDATE PROPLIST SET SEQ_NUM=?, PROPNAME=? WHERE PROP_ID=?"));
        AppendPropName(command, name);
        command.AppendInteger(QStringLiteral("PROP_ID"), name.propId);
        RequireChangedRow(ExecuteChangeAwaited(command), kRowMissingText);
    });
}

DbOpResult HandleDeleteDbPersonAddProp(DbSession& session, int32_t propId) {
    return RunPropOperation("HandleDeleteDbPersonAddProp", DbOpKind::Change, session, [&] {
        DbCommand command(session.connection);
        command.SetCommandText(QStringLiteral("DELETE FROM PROPLIST WHERE PROP_ID=?"));
        command.AppendInteger(QStringLiteral("PROP_ID"), propId);
        // A name another station deleted first is gone as asked.
        ExecuteChangeAwaited(command);
    });
}

DbOpResult HandleDbPersonAddProps(DbSession& session, int32_t personId, PropValues& values) {
    constexpr const char* kOperation = "HandleDbPersonAddProps";
    values.clear();
    return RunPropOperation(kOperation, DbOpKind::Read, session, [&] {
        DbCommand command(session.connection);
        command.SetCommandText(
            QStringLiteral("SELECT PP.ID, PL.PROP_ID, PL.PROPNAME, PP.PROPVALUE FROM PROPLIST AS PL LEFT OUTER JOIN "
                           "PERSONPROP AS PP ON PL.PROP_ID=PP.PROP_ID AND PP.PERSON_ID=? ORDER BY PL.SEQ_NUM"));
        command.AppendInteger(QStringLiteral("PERSON_ID"), personId);
        const auto id = static_cast<uint32_t>(personId);
        ReadRows(session, command, values, [&](const DbRecordset& rows) {
            auto value = std::make_unique<PropValue>();
            const QVariant& valueId = rows.Field(QStringLiteral("ID"));
            value->valueId = valueId.isNull() ? 0 : ReadInteger(valueId);
            value->propId = ReadInteger(rows.Field(QStringLiteral("PROP_ID")));
            value->name =
                ColumnText(ReadText(rows.Field(QStringLiteral("PROPNAME"))), kNameUnits, kOperation, "PROPNAME", id);
            value->storedValue = ColumnText(ReadText(rows.Field(QStringLiteral("PROPVALUE"))), kLongTextUnits,
                                            kOperation, "PROPVALUE", id);
            value->editedValue = value->storedValue;
            return value;
        });
    });
}

DbOpResult HandleDbPersonAddPropInsertProp(DbSession& session, int32_t personId, PropValue& value) {
    return RunDbOperation(
        "HandleDbPersonAddPropInsertProp", DbOpKind::Change, session.ui, session.connection, session.connectionString,
        [&](DbTransaction& transaction) {
            DbCommand command(session.connection);
            command.SetCommandText(
                QStringLiteral("INSERT INTO PERSONPROP (PERSON_ID, PROP_ID, PROPVALUE) VALUES(?,?,?)"));
            command.AppendInteger(QStringLiteral("PERSON_ID"), personId);
            command.AppendInteger(QStringLiteral("PROP_ID"), value.propId);
            command.AppendText(QStringLiteral("PROPVALUE"), FitText(value.editedValue, kLongTextUnits));
            // One transaction: a failure of the identity query must not leave a row that a retry
            // would insert again.
            transaction.Begin();
            ExecuteChangeAwaited(command);
            command.SetCommandText(StatementText(DbStatement::PersonPropIdentity, session.connection.Provider()));
            command.Execute(kExecSync);
            DbRecordset& identity = command.Recordset();
            if (identity.Eof()) throw DbError(QStringLiteral("The new value's id was not returned."));
            const int32_t newId = ReadInteger(identity.Field(QStringLiteral("PERSONPROPID")));
            transaction.Commit();
            value.valueId = newId;
        });
}

DbOpResult HandleDbPersonAddPropUpdateProp(DbSession& session, const PropValue& value) {
    return RunPropOperation("HandleDbPersonAddPropUpdateProp", DbOpKind::Change, session, [&] {
        DbCommand command(session.connection);
        command.SetCommandText(QStringLiteral("UPDATE PERSONPROP SET PROPVALUE=? WHERE ID=?"));
        command.AppendText(QStringLiteral("PROPVALUE"), FitText(value.editedValue, kLongTextUnits));
        command.AppendInteger(QStringLiteral("ID"), value.valueId);
        RequireChangedRow(ExecuteChangeAwaited(command), kRowMissingText);
    });
}

DbOpResult HandleDbPersonAddPropDeleteProp(DbSession& session, const PropValue& value) {
    return RunPropOperation("HandleDbPersonAddPropDeleteProp", DbOpKind::Change, session, [&] {
        DbCommand command(session.connection);
        command.SetCommandText(QStringLiteral("DELETE FROM PERSONPROP WHERE ID=?"));
        command.AppendInteger(QStringLiteral("ID"), value.valueId);
        ExecuteChangeAwaited(command);
    });
}

DbOpResult SavePersonPropValues(DbSession& session, int32_t personId, PropValues& values) {
    enum class Step { Insert, Update, Delete };
    for (const auto& value : values) {
        if (!value->changed) continue;
        const Step step = value->valueId == 0             ? Step::Insert
                          : !value->editedValue.isEmpty() ? Step::Update
                                                          : Step::Delete;
        const DbOpResult result = RetryWhileAsked([&] {
            switch (step) {
            case Step::Insert:
                return HandleDbPersonAddPropInsertProp(session, personId, *value);
            case Step::Update:
                return HandleDbPersonAddPropUpdateProp(session, *value);
            case Step::Delete:
                break;
            }
            return HandleDbPersonAddPropDeleteProp(session, *value);
        });
        if (result != DbOpDone) return result;
        // Without its row the property has no value id again: a new value is inserted anew.
        if (step == Step::Delete) value->valueId = 0;
        value->storedValue = value->editedValue;
        value->changed = false;
    }
    return DbOpDone;
}

}  // namespace database
