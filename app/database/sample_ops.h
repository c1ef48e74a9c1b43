#pragma once
// Purpose: the database operations on a person's samples (SAMPLES rows). Each change of a
//          person's samples adds 1 to the person's STATE in the same transaction, so the working
//          model set picks it up; a failure rolls back both.
// Threads: the thread that owns the connection (the user-interface thread for the browser and
//          the snapshot dialog).
// Owns: nothing; the connection belongs to the caller.

#include "app/database/db_operation.h"
#include "app/database/db_session.h"
#include "app/database/operator_dialogs.h"
#include "app/recognition/face_descriptor.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace database {

struct StoredSample {
    int32_t sampleId = 0;
    QByteArray image;  // the encoded chip; may be empty
    // Nothing when the stored DESCRIPTOR is not exactly 512 bytes.
    std::optional<recognition::FaceDescriptor> descriptor;
};

DbOpResult HandleGetDbPersonSampleList(const DbSession& target, int32_t personId, std::vector<StoredSample>* samples);

// The person's descriptors, without retry: a failure is logged and shown as
// "GetSampleDescriptorList() Exception: %s"; then nothing. Values that are not binary end the
// reading; binary values of another size than 512 bytes are no descriptor and are passed over.
std::optional<std::vector<recognition::FaceDescriptor>> GetSampleDescriptorList(DbConnection& connection,
                                                                                OperatorDialogs& dialogs,
                                                                                int32_t personId);

DbOpResult HandleInsertDbPersonSample(const DbSession& target, const QByteArray& image,
                                      const recognition::FaceDescriptor& descriptor, int32_t personId,
                                      int32_t* sampleId);
// personId: the person whose sample it is (the browser's current person).
DbOpResult HandleDeleteDbPersonSample(const DbSession& target, int32_t sampleId, int32_t personId);
// Moves the sample to the destination person. A sample no longer in the database (deleted by
// another station) fails the operation and changes nothing.
DbOpResult HandleDbPastePersonSample(const DbSession& target, int32_t sourcePersonId, int32_t destinationPersonId,
                                     int32_t sampleId);

}  // namespace database
