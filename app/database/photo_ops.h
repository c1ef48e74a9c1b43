#pragma once
// Purpose: the database operations on a person's reference photos (PHOTO rows). Photos play no
//          part in recognition and leave the person's STATE alone.
// Threads: the thread that owns the connection (the user-interface thread).
// Owns: nothing.

#include "app/database/sample_ops.h"

#include <QByteArray>

#include <cstdint>
#include <vector>

namespace database {

struct StoredPhoto {
    int32_t photoId = 0;
    QByteArray image;  // the encoded image file
};

// The browser's photo panel and the person chooser's photo list read the same rows; each
// operation logs under its own name.
DbOpResult HandleGetDbPersonPhotoList(const DbOpTarget& target, int32_t personId, std::vector<StoredPhoto>* photos);
DbOpResult HandleGetDbChoosePersonPhotoList(const DbOpTarget& target, int32_t personId,
                                            std::vector<StoredPhoto>* photos);
DbOpResult HandleInsertDbPersonPhoto(const DbOpTarget& target, const QByteArray& image, int32_t personId,
                                     int32_t* photoId);
DbOpResult HandleDeleteDbPersonPhoto(const DbOpTarget& target, int32_t photoId);

}  // namespace database
