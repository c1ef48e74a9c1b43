#include "app/actions/recognition_actions.h"

#include "app/actions/message_templates.h"
#include "platform/fixedtext.h"
#include "platform/log.h"
#include "platform/oledate.h"

#include <algorithm>
#include <new>
#include <optional>

namespace actions {

namespace {

template <size_t N>
bool Filled(const char16_t (&field)[N]) {
    return field[0] != u'\0';
}

void LogNoMemory() { WriteLog(QStringLiteral("Недостаточно памяти в системе")); }

// Builds and queues one action; running out of memory skips that action alone.
template <typename Build>
void QueueAction(ActionQueue& queue, Build build) {
    try {
        if (std::unique_ptr<ActionItem> item = build()) queue.EnqueueActionItem(std::move(item));
    } catch (const std::bad_alloc&) {
        LogNoMemory();
    }
}

// The alert settings of the person's list; none for a list number the settings lack.
const settings::AlertSettings* ListAlerts(const settings::SettingsState& config, uint32_t listNumber) {
    return listNumber + 1 < uint32_t(settings::kAlertCount) ? &config.alerts.Items[listNumber + 1] : nullptr;
}

BuiltInSound ListSound(uint32_t listNumber) {
    switch (listNumber) {
    case 0:
        return BuiltInSound::GreenList;
    case 1:
        return BuiltInSound::RedList;
    default:
        return BuiltInSound::GrayList;
    }
}

ScriptHead MakeScriptHead(const settings::ScriptFormat& format, int32_t scriptType, const char16_t (&scriptFile)[260],
                          QStringView eventName, double eventTime, QStringView cameraName) {
    ScriptHead head;
    head.timeout = format.Timeout;
    head.allowUI = format.AllowUI;
    head.scriptType = scriptType;
    platform::CopyToFixed(head.scriptFile, platform::FromFixed(scriptFile));
    platform::CopyToFixed(head.eventName, eventName);
    head.eventTime = eventTime;
    platform::CopyToFixed(head.cameraName, cameraName);
    return head;
}

// The SMTP block with the action's recipients: its own, else the default ones; none when both
// are empty.
std::optional<settings::SmtpSettings> MailSettings(const settings::SmtpSettings& smtp,
                                                   const char16_t (&ownRecipients)[2048]) {
    if (!Filled(smtp.SMTPServer) || !Filled(smtp.Originator)) return std::nullopt;
    settings::SmtpSettings block = smtp;
    if (Filled(ownRecipients)) {
        std::copy(std::begin(ownRecipients), std::end(ownRecipients), block.Recepients);
    } else if (!Filled(smtp.Recepients)) {
        return std::nullopt;
    }
    return block;
}

struct UnrecognizedWants {
    bool script = false;
    // The mail's settings block with its recipients.
    std::optional<settings::SmtpSettings> mail;
};

UnrecognizedWants WantedUnrecognizedActions(const settings::SettingsState& config) {
    const settings::UPActionSet& up = config.upActions;
    UnrecognizedWants wants;
    wants.script = up.Script && Filled(up.ScriptFile);
    if (up.SendMail && Filled(up.SubjectFormat) && Filled(up.BodyFormat))
        wants.mail = MailSettings(config.smtp, up.Recepients);
    return wants;
}

// The face chip, for the queue thread to write: encoding it here would cost this thread a
// millisecond per action. The caller keeps the chip only for the time of the call, so it is copied.
void AddFace(ActionItem& item, const cv::Mat* picture, ImageFileFormat format) {
    PendingImages pending{{}, format, FaceFraming::None};
    if (picture && !picture->empty())
        pending.frames.push_back({picture->clone(), {}});
    else
        WriteLog(QStringLiteral("DoRecognizedPersonAlertsAndActions: Ошибка сохранения Mat во временный файл."));
    item.pending = std::move(pending);
}

RecognizedScriptForm RecognizedForm(const RecognizedPersonInfo& person, double confidence) {
    RecognizedScriptForm form;
    form.personId = person.personId;
    form.confidence = confidence;
    form.person = person.person;
    return form;
}

}  // namespace

std::vector<Sighting> FindSightings(const recognition::FrameHistory& history, uint32_t subjectId) {
    std::vector<Sighting> found;
    for (int i = history.Tail(); i != history.Head() && int(found.size()) < kMaxActionImages;
         i = (i + 1) % recognition::FrameHistory::kSlots) {
        const auto& faces = history.Slot(i).faces;
        const auto face = std::find_if(faces.begin(), faces.end(), [subjectId](const recognition::HistoryFace& f) {
            return f.subjectId == subjectId;
        });
        if (face != faces.end()) found.push_back({i, face->rectangle});
    }
    return found;
}

void RecognitionActions::DoRecognizedPersonAlertsAndActions(const RecognizedPersonInfo& person) {
    OSTROVID_ASSERT(owner_.IsCurrent(), "recognition actions run on the user-interface thread");
    WriteLog(QStringLiteral("Выполнение действий для события персона распознана"));
    const uint32_t listNumber = person.person.listNumber;
    const settings::SettingsSnapshot config = hub_.Snapshot();
    const settings::AlertSettings* list = ListAlerts(*config, listNumber);
    const settings::AlertSettings& all = config->alerts.Items[0];

    if (alerts_.SoundAvailable()) {
        if (list && list->PlayWav) {
            if (Filled(list->WavFile))
                alerts_.PlayAlertSound(platform::FromFixed(list->WavFile));
            else
                alerts_.PlayAlertSound(ListSound(listNumber));
        } else if (all.PlayWav) {
            if (Filled(all.WavFile))
                alerts_.PlayAlertSound(platform::FromFixed(all.WavFile));
            else
                alerts_.PlayAlertSound(BuiltInSound::AllLists);
        }
    }

    if (alerts_.SpeechAvailable()) {
        std::optional<QString> text;
        if (Filled(person.person.speech))
            text = platform::FromFixed(person.person.speech);
        else if (list && Filled(list->Speech))
            text = ExpandSpeechTemplate(platform::FromFixed(list->Speech), &person);
        else if (Filled(all.Speech))
            text = ExpandSpeechTemplate(platform::FromFixed(all.Speech), &person);
        if (text) alerts_.SpeakAlertText(*text);
    }

    const double eventTime = platform::OleDateNow();
    const QString cameraName = cameraName_(*config);
    const double confidence = (1.0 - double(person.distance)) * 100.0;

    if ((list && list->CSV) || all.CSV) {
        QueueAction(queue_, [&] {
            CsvRecord record;
            record.eventTime = eventTime;
            platform::CopyToFixed(record.cameraName, cameraName);
            record.personId = person.personId;
            record.confidence = confidence;
            record.person = person.person;
            return NewActionItem(ActionType::CsvLine, record);
        });
    }

    const auto wantsScript = [](const settings::AlertSettings* r) { return r && r->Script && Filled(r->ScriptFile); };
    if (const settings::AlertSettings* chosen = wantsScript(list) ? list : wantsScript(&all) ? &all : nullptr) {
        QueueAction(queue_, [&] {
            ScriptRequest request{MakeScriptHead(config->scriptRecognized, chosen->ScriptType, chosen->ScriptFile,
                                                 u"RecognizedPerson", eventTime, cameraName),
                                  RecognizedForm(person, confidence)};
            auto item = NewActionItem(ActionType::RecognizedScript, std::move(request));
            AddFace(*item, person.picture, ImageFileFormatFrom(config->scriptRecognized.ImgFileFormat));
            return item;
        });
    }

    const settings::AlertSettings* mailRecord = list && list->SendMail ? list : all.SendMail ? &all : nullptr;
    if (!mailRecord || !Filled(mailRecord->SubjectFormat) || !Filled(mailRecord->BodyFormat)) return;
    const std::optional<settings::SmtpSettings> smtp = MailSettings(config->smtp, mailRecord->Recepients);
    if (!smtp) return;
    QueueAction(queue_, [&]() -> std::unique_ptr<ActionItem> {
        MailRequest request;
        request.smtp = *smtp;
        auto subject =
            ExpandRecognizedMailTemplate(platform::FromFixed(mailRecord->SubjectFormat), person, eventTime, cameraName);
        auto body =
            ExpandRecognizedMailTemplate(platform::FromFixed(mailRecord->BodyFormat), person, eventTime, cameraName);
        if (!subject || !body) return nullptr;
        request.subject = std::move(*subject);
        request.body = std::move(*body);
        auto item = NewActionItem(ActionType::RecognizedMail, std::move(request));
        AddFace(*item, person.picture, ImageFileFormat::Jpeg);
        return item;
    });
}

bool RecognitionActions::UnrecognizedActionsWanted() const {
    const UnrecognizedWants wants = WantedUnrecognizedActions(*hub_.Snapshot());
    return wants.script || wants.mail;
}

void RecognitionActions::HandleUnrecognizedPersonEvent(const recognition::Subject& subject, double eventTime,
                                                       const recognition::FrameHistory& history) {
    OSTROVID_ASSERT(owner_.IsCurrent(), "recognition actions run on the user-interface thread");
    const settings::SettingsSnapshot config = hub_.Snapshot();
    const settings::UPActionSet& up = config->upActions;
    const UnrecognizedWants wants = WantedUnrecognizedActions(*config);
    const bool wantsScript = wants.script;
    const std::optional<settings::SmtpSettings>& smtp = wants.mail;
    if (!wantsScript && !smtp) return;

    WriteLog(QStringLiteral("Выполнение действий для события нераспознанной персоны"));
    const std::vector<Sighting> sightings = FindSightings(history, subject.id);
    if (sightings.empty()) return;

    std::vector<PendingFrame> frames;
    try {
        // The history never writes into a picture again, so the items may share it; one
        // reference serves both actions.
        for (const Sighting& sighting : sightings)
            frames.push_back({history.Slot(sighting.slot).picture, sighting.face});
    } catch (const std::bad_alloc&) {
        LogNoMemory();
        return;
    }
    const QString cameraName = cameraName_(*config);

    if (wantsScript) {
        QueueAction(queue_, [&] {
            UnrecognizedScriptForm form;
            form.firstSeen = subject.firstSeen;
            auto item =
                NewActionItem(ActionType::UnrecognizedScript,
                              ScriptRequest{MakeScriptHead(config->scriptUnrecognized, up.ScriptType, up.ScriptFile,
                                                           u"UnrecognizedPerson", eventTime, cameraName),
                                            form});
            item->pending =
                PendingImages{frames, ImageFileFormatFrom(config->scriptUnrecognized.ImgFileFormat), FaceFraming::None};
            return item;
        });
    }

    if (!smtp) return;
    QueueAction(queue_, [&]() -> std::unique_ptr<ActionItem> {
        const platform::OleDays presence = platform::OleSpan(subject.firstSeen, eventTime);
        auto subjectText =
            ExpandUnrecognizedMailTemplate(platform::FromFixed(up.SubjectFormat), eventTime, cameraName, presence);
        auto body = ExpandUnrecognizedMailTemplate(platform::FromFixed(up.BodyFormat), eventTime, cameraName, presence);
        if (!subjectText || !body) return nullptr;
        MailRequest request;
        request.smtp = *smtp;
        request.subject = std::move(*subjectText);
        request.body = std::move(*body);
        auto item = NewActionItem(ActionType::UnrecognizedMail, std::move(request));
        item->pending = PendingImages{std::move(frames), ImageFileFormat::Jpeg, FaceFraming::Enlarged};
        return item;
    });
}

}  // namespace actions
