#include "app/database/sample_ops.h"

#include "app/database/db_schema.h"

namespace database {

namespace {

const QString kPersonId = QStringLiteral("PERSON_ID");
const QString kSampleId = QStringLiteral("SAMPLE_ID");
const QString kBumpState = QStringLiteral("UPDATE PERSONS SET STATE=STATE+1 WHERE PERSON_ID=?");

}  // namespace

DbOpResult HandleGetDbPersonSampleList(const DbSession& target, int32_t personId, std::vector<StoredSample>* samples) {
    return RunDbOperation(
        "HandleGetDbPersonSampleList", DbOpKind::Read, target.ui, target.connection, target.connectionString,
        [&](DbTransaction&) {
            samples->clear();
            DbCommand command(target.connection);
            command.AppendInteger(kPersonId, personId);
            DbRecordset& rows = ExecuteQueryAwaited(
                command, QStringLiteral("SELECT SAMPLE_ID, BINDATA, DESCRIPTOR FROM SAMPLES WHERE PERSON_ID=?"));
            for (; !rows.Eof(); rows.MoveNext()) {
                StoredSample sample;
                sample.sampleId = ReadInteger(rows.Field(kSampleId));
                ReadBinary(rows.Field(QStringLiteral("BINDATA")), &sample.image);
                QByteArray descriptor;
                if (ReadBinary(rows.Field(QStringLiteral("DESCRIPTOR")), &descriptor)) {
                    sample.descriptor = recognition::FaceDescriptor::FromStorage(descriptor);
                }
                samples->push_back(std::move(sample));
            }
        });
}

std::optional<std::vector<recognition::FaceDescriptor>> GetSampleDescriptorList(DbConnection& connection,
                                                                                OperatorDialogs& dialogs,
                                                                                int32_t personId) {
    try {
        std::vector<recognition::FaceDescriptor> descriptors;
        DbCommand command(connection);
        command.AppendInteger(kPersonId, personId);
        DbRecordset& rows =
            ExecuteQueryAwaited(command, StatementText(DbStatement::SampleDescriptorsQuery, connection.Provider()));
        for (; !rows.Eof(); rows.MoveNext()) {
            QByteArray bytes;
            if (!ReadBinary(rows.Field(QStringLiteral("DESCRIPTOR")), &bytes)) break;
            if (auto descriptor = recognition::FaceDescriptor::FromStorage(bytes)) descriptors.push_back(*descriptor);
        }
        return descriptors;
    } catch (const DbError& error) {
        LogDbException("GetSampleDescriptorList", error.Description());
        dialogs.ShowNotice(QStringLiteral("GetSampleDescriptorList() Exception: ") + error.Description(),
                           NoticeIcon::Error);
        return std::nullopt;
    }
}

DbOpResult HandleInsertDbPersonSample(const DbSession& target, const QByteArray& image,
                                      const recognition::FaceDescriptor& descriptor, int32_t personId,
                                      int32_t* sampleId) {
    return RunDbOperation(
        "HandleInsertDbPersonSample", DbOpKind::Change, target.ui, target.connection, target.connectionString,
        [&](DbTransaction& transaction) {
            DbCommand command(target.connection);
            command.AppendInteger(kPersonId, personId);
            command.AppendBinary(QStringLiteral("BINDATA"), image);
            command.AppendBinary(QStringLiteral("DESCRIPTOR"), descriptor.ToStorage());
            transaction.Begin();
            ExecuteChangeAwaited(command,
                                 QStringLiteral("INSERT INTO SAMPLES (PERSON_ID, BINDATA, DESCRIPTOR) VALUES(?,?,?)"));
            command.DeleteParameter(QStringLiteral("DESCRIPTOR"));
            command.DeleteParameter(QStringLiteral("BINDATA"));
            command.SetCommandText(StatementText(DbStatement::SampleIdentity, target.connection.Provider()));
            command.Execute(kExecSync);
            DbRecordset& identity = command.Recordset();
            const int32_t newId = identity.Eof() ? 0 : ReadInteger(identity.Field(QStringLiteral("PERSONSAMPLEID")));
            ExecuteChangeAwaited(command, kBumpState);
            transaction.Commit();
            *sampleId = newId;
        });
}

DbOpResult HandleDeleteDbPersonSample(const DbSession& target, int32_t sampleId, int32_t personId) {
    return RunDbOperation("HandleDeleteDbPersonSample", DbOpKind::Change, target.ui, target.connection,
                          target.connectionString, [&](DbTransaction& transaction) {
                              DbCommand command(target.connection);
                              command.AppendInteger(kSampleId, sampleId);
                              transaction.Begin();
                              ExecuteChangeAwaited(command, QStringLiteral("DELETE FROM SAMPLES WHERE SAMPLE_ID=?"));
                              command.DeleteParameter(kSampleId);
                              command.AppendInteger(kPersonId, personId);
                              ExecuteChangeAwaited(command, kBumpState);
                              transaction.Commit();
                          });
}

DbOpResult HandleDbPastePersonSample(const DbSession& target, int32_t sourcePersonId, int32_t destinationPersonId,
                                     int32_t sampleId) {
    return RunDbOperation(
        "HandleDbPastePersonSample", DbOpKind::Change, target.ui, target.connection, target.connectionString,
        [&](DbTransaction& transaction) {
            DbCommand command(target.connection);
            command.AppendInteger(kPersonId, destinationPersonId);
            command.AppendInteger(kSampleId, sampleId);
            transaction.Begin();
            // A sample another station deleted meanwhile moves nothing; reporting it moved would
            // be false and would bump both counters for nothing.
            const QString moveSample = QStringLiteral("UPDATE SAMPLES SET PERSON_ID=? WHERE SAMPLE_ID=?");
            if (ExecuteChangeAwaited(command, moveSample) != 1) {
                throw DbError(QString::asprintf("Образец SAMPLE_ID=%d отсутствует в базе данных", sampleId));
            }
            command.DeleteParameter(kSampleId);
            ExecuteChangeAwaited(command, kBumpState);
            command.DeleteParameter(kPersonId);
            command.AppendInteger(kPersonId, sourcePersonId);
            ExecuteChangeAwaited(command, kBumpState);
            transaction.Commit();
        });
}

}  // namespace database
