#pragma once
// Purpose: adding a reference photo to the browser's current person (from a file or a clipboard
//          image) and deleting one after the operator agreed.
// Threads: the user-interface thread.
// Owns: nothing.

#include "app/database/db_session.h"
#include "app/database/person_name.h"
#include "app/database/photo_images.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <cstdint>

namespace database {

struct PhotoOutcome {
    FlowResult result = FlowResult::Abandoned;
    int32_t photoId = 0;  // for Done: the new photo and its stored image, for the photo panel
    QByteArray image;
};

// photoCount: the person's photos now; at 10 nothing is added.
PhotoOutcome AddImageToPersonPhotoList(const DbSession& context, int32_t personId, int photoCount,
                                       const QImage& picture, PhotoFormat format);
// A file that cannot be read is refused with "Ошибка загрузки графического файла '%s'".
PhotoOutcome AddPhotoFromFile(const DbSession& context, int32_t personId, int photoCount, const QString& path);
PhotoOutcome AddPhotoFromImage(const DbSession& context, int32_t personId, int photoCount, const QImage& image);

// Done when the photo was deleted.
FlowResult DeletePersonPhoto(const DbSession& context, const PersonName& person, int32_t photoId);

}  // namespace database
