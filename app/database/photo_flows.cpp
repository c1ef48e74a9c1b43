#include "app/database/photo_flows.h"

#include "app/database/photo_ops.h"
#include "app/database/picture_files.h"
#include "app/database/sample_texts.h"

namespace database {

PhotoOutcome AddImageToPersonPhotoList(const DbSession& context, int32_t personId, int photoCount,
                                       const QImage& picture, PhotoFormat format) {
    PhotoOutcome outcome;
    if (photoCount >= kMaxPhotosPerPerson) {
        outcome.result = FlowResult::LimitReached;
        return outcome;
    }
    QByteArray image;
    {
        WaitCursorScope cursor(context.ui);
        image = EncodePhoto(picture, format);
    }
    if (image.isEmpty()) return outcome;
    int32_t photoId = 0;
    if (RetryWhileAsked([&] { return HandleInsertDbPersonPhoto(context, image, personId, &photoId); }) == DbOpCancel) {
        outcome.result = FlowResult::CloseBrowser;
        return outcome;
    }
    outcome.result = FlowResult::Done;
    outcome.photoId = photoId;
    outcome.image = image;
    return outcome;
}

PhotoOutcome AddPhotoFromFile(const DbSession& context, int32_t personId, int photoCount, const QString& path) {
    if (photoCount >= kMaxPhotosPerPerson) return {FlowResult::LimitReached, 0, {}};
    LoadedPicture picture;
    {
        WaitCursorScope cursor(context.ui);
        picture = LoadPictureFile(path);
    }
    if (picture.status != PictureStatus::Loaded) {
        context.dialogs.ShowNotice(PhotoFileLoadFailedNotice(path), NoticeIcon::Error);
        return {};
    }
    return AddImageToPersonPhotoList(context, personId, photoCount, picture.image, PhotoFormatForFile(path));
}

PhotoOutcome AddPhotoFromImage(const DbSession& context, int32_t personId, int photoCount, const QImage& image) {
    return AddImageToPersonPhotoList(context, personId, photoCount, image, PhotoFormatForClipboard(image));
}

FlowResult DeletePersonPhoto(const DbSession& context, const PersonName& person, int32_t photoId) {
    if (context.dialogs.AskYesNo(DeletePhotoQuestion(person), DefaultButton::Second) != Answer::Yes) {
        return FlowResult::Abandoned;
    }
    if (RetryWhileAsked([&] { return HandleDeleteDbPersonPhoto(context, photoId); }) == DbOpCancel) {
        return FlowResult::CloseBrowser;
    }
    return FlowResult::Done;
}

}  // namespace database
