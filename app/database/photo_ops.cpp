#include "app/database/photo_ops.h"

#include "app/database/db_schema.h"

namespace database {

namespace {

const QString kPersonId = QStringLiteral("PERSON_ID");

DbOpResult ReadPhotoList(const char* operation, const DbSession& target, int32_t personId,
                         std::vector<StoredPhoto>* photos) {
    return RunDbOperation(
        operation, DbOpKind::Read, target.ui, target.connection, target.connectionString, [&](DbTransaction&) {
            photos->clear();
            DbCommand command(target.connection);
            command.AppendInteger(kPersonId, personId);
            DbRecordset& rows =
                ExecuteQueryAwaited(command, QStringLiteral("SELECT PHOTO_ID, BINDATA FROM PHOTO WHERE PERSON_ID=?"));
            for (; !rows.Eof(); rows.MoveNext()) {
                StoredPhoto photo;
                photo.photoId = ReadInteger(rows.Field(QStringLiteral("PHOTO_ID")));
                ReadBinary(rows.Field(QStringLiteral("BINDATA")), &photo.image);
                photos->push_back(std::move(photo));
            }
        });
}

}  // namespace

DbOpResult HandleGetDbPersonPhotoList(const DbSession& target, int32_t personId, std::vector<StoredPhoto>* photos) {
    return ReadPhotoList("HandleGetDbPersonPhotoList", target, personId, photos);
}

DbOpResult HandleGetDbChoosePersonPhotoList(const DbSession& target, int32_t personId,
                                            std::vector<StoredPhoto>* photos) {
    return ReadPhotoList("HandleGetDbChoosePersonPhotoList", target, personId, photos);
}

DbOpResult HandleInsertDbPersonPhoto(const DbSession& target, const QByteArray& image, int32_t personId,
                                     int32_t* photoId) {
    return RunDbOperation(
        "HandleInsertDbPersonPhoto", DbOpKind::Change, target.ui, target.connection, target.connectionString,
        [&](DbTransaction& transaction) {
            DbCommand command(target.connection);
            command.AppendInteger(kPersonId, personId);
            command.AppendBinary(QStringLiteral("BINDATA"), image);
            // One transaction: a failure of the identity query must not leave a row that a retry
            // would insert again.
            transaction.Begin();
            ExecuteChangeAwaited(command, QStringLiteral("INSERT INTO PHOTO (PERSON_ID, BINDATA) VALUES(?,?)"));
            command.SetCommandText(StatementText(DbStatement::PhotoIdentity, target.connection.Provider()));
            command.Execute(kExecSync);
            DbRecordset& identity = command.Recordset();
            const int32_t newId = identity.Eof() ? 0 : ReadInteger(identity.Field(QStringLiteral("PERSONPHOTOID")));
            transaction.Commit();
            *photoId = newId;
        });
}

DbOpResult HandleDeleteDbPersonPhoto(const DbSession& target, int32_t photoId) {
    return RunDbOperation("HandleDeleteDbPersonPhoto", DbOpKind::Change, target.ui, target.connection,
                          target.connectionString, [&](DbTransaction&) {
                              DbCommand command(target.connection);
                              command.AppendInteger(QStringLiteral("PHOTO_ID"), photoId);
                              ExecuteChangeAwaited(command, QStringLiteral("DELETE FROM PHOTO WHERE PHOTO_ID=?"));
                          });
}

}  // namespace database
