#include "app/database/sample_creation.h"

#include "app/database/picture_files.h"
#include "app/database/sample_checks.h"
#include "app/database/sample_ops.h"
#include "app/database/sample_texts.h"

#include <QImageWriter>

namespace database {

namespace {

constexpr int kClipboardJpegQuality = 75;

}  // namespace

CreationOutcome CreateSampleFromFile(const DbSession& context, const SampleWizard& wizard, const SampleOwner& owner,
                                     const QString& path) {
    CreationOutcome outcome;
    if (owner.sampleCount >= kMaxSamplesPerPerson) {
        outcome.result = FlowResult::LimitReached;
        return outcome;
    }
    LoadedPicture picture;
    {
        WaitCursorScope cursor(context.ui);
        picture = LoadPictureFile(path);
    }
    if (picture.status == PictureStatus::Missing) return outcome;
    if (picture.status != PictureStatus::Loaded) {
        context.dialogs.ShowNotice(kFileLoadFailedNotice, NoticeIcon::Error);
        return outcome;
    }
    const QSize size = picture.image.size();
    picture.image = QImage();
    if (size.width() < kMinSamplePictureSide || size.height() < kMinSamplePictureSide) {
        context.dialogs.ShowNotice(PictureTooSmallNotice(size.width(), size.height()), NoticeIcon::Error);
        return outcome;
    }

    const std::optional<recognition::DescribedFace> face = wizard(path);
    if (!face) return outcome;
    if (CheckNewSample(context.dialogs, face->descriptor, owner.descriptors, DuplicateCheck::Detect) !=
        SampleDecision::Add) {
        return outcome;
    }
    const QByteArray image = SampleImageThroughTempFile(face->chip);
    if (image.isEmpty()) {
        context.dialogs.ShowNotice(kTempFileFailedNotice, NoticeIcon::Error);
        return outcome;
    }
    int32_t sampleId = 0;
    const DbOpResult result = RetryWhileAsked(
        [&] { return HandleInsertDbPersonSample(context, image, face->descriptor, owner.personId, &sampleId); });
    if (result == DbOpCancel) {
        outcome.result = FlowResult::CloseBrowser;
        return outcome;
    }
    PostChangeJournal(context, kSampleAddedEvent, owner.name.Spaced());
    outcome.result = FlowResult::Done;
    outcome.sampleId = sampleId;
    outcome.image = image;
    outcome.descriptor = face->descriptor;
    return outcome;
}

CreationOutcome CreateSampleFromImage(const DbSession& context, const SampleWizard& wizard, const SampleOwner& owner,
                                      const QImage& image) {
    if (owner.sampleCount >= kMaxSamplesPerPerson) return {FlowResult::LimitReached, 0, {}, {}};
    const TempPictureFile temp(QStringLiteral(".jpg"));
    bool written = false;
    {
        // The writer's file is complete once the writer is gone.
        QImageWriter writer(temp.Path(), "jpeg");
        writer.setQuality(kClipboardJpegQuality);
        written = !image.isNull() && writer.write(image);
    }
    if (!written) {
        context.dialogs.ShowNotice(kTempFileFailedNotice, NoticeIcon::Error);
        return {};
    }
    return CreateSampleFromFile(context, wizard, owner, temp.Path());
}

}  // namespace database
