#pragma once
// Purpose: one queued action of a recognition event (a CSV line, a script run or a mail) with its
//          payload, the process-wide numbering of actions, and the pictures it carries: temporary
//          files it owns, or frames still to be written by the queue thread.
// Threads: built on the user-interface thread, then owned by the queue and finally by the queue
//          thread or the worker that runs it; one owner at a time.
// Owns: its payload, its temporary files (deleted when the item dies) and its unwritten frames.

#include "app/actions/csv_record.h"
#include "app/actions/temporary_image.h"
#include "app/recognition/frame_face.h"
#include "app/recognition/person_fields.h"
#include "settings/groups.h"

#include <opencv2/core/mat.hpp>

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

namespace actions {

enum class ActionType : int32_t {
    CsvLine = 1,
    RecognizedScript = 2,
    RecognizedMail = 3,
    UnrecognizedScript = 4,
    UnrecognizedMail = 5,
};

// Pictures an unrecognized-person action carries at most.
constexpr int kMaxActionImages = 30;

// Shared by both script forms. Texts are fixed fields: the script runner receives them at fixed
// offsets.
struct ScriptHead {
    int32_t timeout = 0;  // -1 none, 0 until the script ends, else seconds
    int32_t allowUI = 0;
    int32_t scriptType = 0;  // 0 an executable file, 1 JScript
    char16_t scriptFile[520] = {};
    char16_t eventName[256] = {};
    double eventTime = 0;  // OLE Automation date, local time
    char16_t cameraName[64] = {};
};

struct RecognizedScriptForm {
    uint32_t personId = 0;
    double confidence = 0;  // percent
    // List number, names, alias, external key, gender and date of birth; the speech text
    // travels along unused.
    recognition::PersonFields person;
    char16_t imageFile[260] = {};  // empty when the face could not be saved
};

struct UnrecognizedScriptForm {
    double firstSeen = 0;  // OLE Automation date
    uint32_t imageCount = 0;
    // Entry i of the rectangles (frame pixels) belongs to entry i of the files.
    recognition::FrameFace rectangles[kMaxActionImages] = {};
    char16_t imageFiles[kMaxActionImages][260] = {};
};

struct ScriptRequest {
    ScriptHead head;
    std::variant<RecognizedScriptForm, UnrecognizedScriptForm> form;
};

struct MailRequest {
    settings::SmtpSettings smtp{};  // Recepients holds the recipients chosen for this action
    QString subject;                // expanded
    QString body;                   // expanded
    QStringList attachments;        // JPEG files; one at most for a recognized person
};

// How pending frames become files.
enum class FaceFraming {
    None,      // the whole frame as it was seen (scripts)
    Enlarged,  // a white frame 1.3 times the face about its centre (mails)
};

struct PendingFrame {
    cv::Mat picture;  // the history's frame, never written again; a script and a mail item share it
    recognition::FrameFace face;
};

// Pictures too slow to encode on the user-interface thread; the queue thread writes them before
// the item can reach a worker.
struct PendingImages {
    std::vector<PendingFrame> frames;
    ImageFileFormat format = ImageFileFormat::Jpeg;
    FaceFraming framing = FaceFraming::None;
};

using ActionPayload = std::variant<CsvRecord, ScriptRequest, MailRequest>;

struct ActionItem {
    uint32_t number = 0;
    ActionType type = ActionType::CsvLine;
    ActionPayload payload;
    std::vector<TemporaryFile> files;  // the files the payload names
    std::optional<PendingImages> pending;
};

// The item with the next number of the process (the first is 1).
std::unique_ptr<ActionItem> NewActionItem(ActionType type, ActionPayload payload);

// Frees the item: its temporary files are deleted with it.
void FreeActionItem(std::unique_ptr<ActionItem> item);

bool IsScriptAction(ActionType type);
bool IsMailAction(ActionType type);
// The event column of the Actions tab: "Персона распознана" or "Персона не распознана".
QString ActionEventText(ActionType type);

}  // namespace actions
