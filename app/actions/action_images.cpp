#include "app/actions/action_images.h"

#include "platform/fixedtext.h"
#include "platform/log.h"

#include <opencv2/imgproc.hpp>

#include <cmath>

namespace actions {

namespace {

void LogSaveFailure(ActionType type) {
    const bool recognized = type == ActionType::RecognizedScript || type == ActionType::RecognizedMail;
    WriteLog(recognized ? QStringLiteral("DoRecognizedPersonAlertsAndActions: Ошибка сохранения Mat во временный файл.")
                        : QStringLiteral("HandleUnrecognizedPersonEvent: Ошибка сохранения Mat во временный файл."));
}

std::optional<TemporaryFile> SaveFrame(const PendingFrame& frame, const PendingImages& pending) {
    if (pending.framing == FaceFraming::None) return SaveTemporaryImage(frame.picture, pending.format);
    cv::Mat framed = frame.picture.clone();
    const recognition::FrameFace box = EnlargedFaceRect(frame.face);
    cv::rectangle(framed, cv::Rect(box.x, box.y, box.width, box.height), cv::Scalar(255, 255, 255), 1, cv::LINE_AA);
    return SaveTemporaryImage(framed, pending.format);
}

// Names a written frame in the payload; the caller keeps the count below kMaxActionImages.
void AddToPayload(ActionItem& item, const QString& path, const recognition::FrameFace& face) {
    if (auto* mail = std::get_if<MailRequest>(&item.payload)) {
        mail->attachments.append(path);
        return;
    }
    auto& request = std::get<ScriptRequest>(item.payload);
    if (auto* recognized = std::get_if<RecognizedScriptForm>(&request.form)) {
        platform::CopyToFixed(recognized->imageFile, path);
        return;
    }
    auto& form = std::get<UnrecognizedScriptForm>(request.form);
    platform::CopyToFixed(form.imageFiles[form.imageCount], path);
    form.rectangles[form.imageCount] = face;
    ++form.imageCount;
}

}  // namespace

recognition::FrameFace EnlargedFaceRect(const recognition::FrameFace& face) {
    const auto grown = [](int32_t size) { return int32_t(std::lround(1.3 * size)); };
    recognition::FrameFace box;
    box.width = grown(face.width);
    box.height = grown(face.height);
    box.x = face.x + face.width / 2 - box.width / 2;
    box.y = face.y + face.height / 2 - box.height / 2;
    return box;
}

void WritePendingImages(ActionItem& item) {
    if (!item.pending) return;
    const PendingImages pending = std::move(*item.pending);
    item.pending.reset();
    int written = 0;
    for (const PendingFrame& frame : pending.frames) {
        if (written == kMaxActionImages) break;
        std::optional<TemporaryFile> file;
        try {
            file = SaveFrame(frame, pending);
        } catch (const std::bad_alloc&) {
        } catch (const cv::Exception&) {
        }
        if (!file) {
            LogSaveFailure(item.type);
            continue;
        }
        item.files.push_back(std::move(*file));
        AddToPayload(item, item.files.back().Path(), frame.face);
        ++written;
    }
}

}  // namespace actions
