#include "app/actions/speech_engine.h"

#include "app/actions/speech_markup.h"
#include "platform/contract.h"
#include "platform/log.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QObject>

#include <espeak-ng/espeak_ng.h>
#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

namespace actions {

namespace {

// A text in eSpeak's queue: whose it is and how its positions map back to what was given.
struct Utterance {
    quint64 voiceId = 0;
    SsmlText ssml;
    // The UTF-16 index of every code point of the SSML, and its end: eSpeak counts code points.
    std::vector<qsizetype> codePoints;
};

std::vector<qsizetype> CodePointStarts(const QString& text) {
    std::vector<qsizetype> starts;
    for (qsizetype at = 0; at < text.size(); ++at) {
        starts.push_back(at);
        if (text[at].isHighSurrogate() && at + 1 < text.size() && text[at + 1].isLowSurrogate()) ++at;
    }
    starts.push_back(text.size());
    return starts;
}

// Just past the character at `at`; a character reference ("&amp;") is one character to eSpeak.
qsizetype NextCharacter(const QString& ssml, qsizetype at) {
    if (ssml[at] == u'&') {
        const qsizetype semicolon = ssml.indexOf(u';', at);
        if (semicolon > at) return semicolon + 1;
    }
    if (ssml[at].isHighSurrogate() && at + 1 < ssml.size()) return at + 2;
    return at + 1;
}

// eSpeak reports a word by its 1-based code point in the SSML and its length in characters;
// the voice's owner wants the span in the text it gave.
SpeechProgress WordProgress(const Utterance& utterance, int textPosition, int length) {
    const auto last = static_cast<int>(utterance.codePoints.size()) - 1;
    const qsizetype begin = utterance.codePoints[static_cast<size_t>(std::clamp(textPosition - 1, 0, last))];
    const QString& ssml = utterance.ssml.ssml;
    qsizetype end = begin;
    for (int i = 0; i < std::max(length, 1) && end < ssml.size(); ++i) end = NextCharacter(ssml, end);
    SpeechProgress progress;
    progress.kind = SpeechProgress::Kind::Word;
    progress.position = utterance.ssml.SourcePosition(begin);
    progress.length = std::max<qsizetype>(0, utterance.ssml.SourcePosition(end) - progress.position);
    return progress;
}

bool IsRussian(const espeak_VOICE& voice) {
    // languages: a priority byte, then a language name, repeated; a zero priority ends the list.
    for (const char* entry = voice.languages; entry && *entry; entry += std::strlen(entry + 1) + 2) {
        const QByteArray language(entry + 1);
        if (language == "ru" || language.startsWith("ru-")) return true;
    }
    return false;
}

QString StatusText(espeak_ng_STATUS status) {
    char text[512] = {};
    espeak_ng_GetStatusCodeMessage(status, text, sizeof text);
    return QString::fromLocal8Bit(text);
}

void LogStartFailure(espeak_ng_STATUS status) {
    WriteLog(QStringLiteral("Ошибка запроса интерфейса IID_ISpVoice: (%1) %2")
                 .arg(static_cast<uint>(status), 8, 16, QLatin1Char('0'))
                 .arg(StatusText(status)));
}

}  // namespace

struct SpeechEngine::Shared {
    // User-interface thread only.
    bool running = false;
    bool russianVoice = false;
    int voiceCount = 0;
    QString description;
    std::map<quint64, SpeechVoice*> voices;
    quint64 nextVoiceId = 1;
    // Receives eSpeak's events on the user-interface thread; pending ones die with it.
    QObject dispatcher;

    // eSpeak's thread and the user-interface thread.
    std::mutex mutex;
    std::map<quintptr, Utterance> utterances;
    quintptr nextUtterance = 1;

    void Deliver(quint64 voiceId, const SpeechProgress& progress) {
        const auto voice = voices.find(voiceId);
        if (voice == voices.end()) return;
        // A copy: the handler may destroy its own voice (a dialog that closes).
        const auto handler = voice->second->onProgress;
        if (handler) handler(progress);
    }
};

namespace {

// eSpeak's callback has no context of its own: the running engine is process-wide.
std::atomic<SpeechEngine::Shared*> g_engine{nullptr};
std::atomic<bool> g_engineExists{false};

int OnSynthesis(short*, int, espeak_EVENT* events) {
    SpeechEngine::Shared* shared = g_engine.load();
    if (!shared) return 0;
    for (; events->type != espeakEVENT_LIST_TERMINATED; ++events) {
        if (events->type != espeakEVENT_WORD && events->type != espeakEVENT_MSG_TERMINATED) continue;
        const auto key = reinterpret_cast<quintptr>(events->user_data);
        quint64 voiceId = 0;
        SpeechProgress progress;
        {
            const std::lock_guard lock(shared->mutex);
            const auto found = shared->utterances.find(key);
            if (found == shared->utterances.end()) continue;
            voiceId = found->second.voiceId;
            if (events->type == espeakEVENT_WORD) {
                progress = WordProgress(found->second, events->text_position, events->length);
            } else {
                progress.kind = SpeechProgress::Kind::EndOfText;
                shared->utterances.erase(found);
            }
        }
        QMetaObject::invokeMethod(
            &shared->dispatcher, [shared, voiceId, progress] { shared->Deliver(voiceId, progress); },
            Qt::QueuedConnection);
    }
    return 0;
}

class EngineVoice final : public SpeechVoice {
public:
    EngineVoice(std::weak_ptr<SpeechEngine::Shared> shared, quint64 id) : shared_(std::move(shared)), id_(id) {}

    ~EngineVoice() override {
        if (const auto shared = shared_.lock()) shared->voices.erase(id_);
    }

    void Speak(const QString& text) override {
        const auto shared = shared_.lock();
        if (!shared || !shared->running) return;
        Utterance utterance{id_, SpeechTextToSsml(text), {}};
        utterance.codePoints = CodePointStarts(utterance.ssml.ssml);
        const QByteArray utf8 = utterance.ssml.ssml.toUtf8();
        quintptr key = 0;
        {
            const std::lock_guard lock(shared->mutex);
            key = shared->nextUtterance++;
            shared->utterances.emplace(key, std::move(utterance));
        }
        const espeak_ng_STATUS status =
            espeak_ng_Synthesize(utf8.constData(), static_cast<size_t>(utf8.size()) + 1, 0, POS_CHARACTER, 0,
                                 espeakCHARS_UTF8 | espeakSSML, nullptr, reinterpret_cast<void*>(key));
        if (status != ENS_OK) {
            const std::lock_guard lock(shared->mutex);
            shared->utterances.erase(key);
        }
    }

    QString Description() const override {
        const auto shared = shared_.lock();
        return shared ? shared->description : QString();
    }

private:
    std::weak_ptr<SpeechEngine::Shared> shared_;
    quint64 id_;
};

}  // namespace

SpeechEngine::SpeechEngine(const QString& dataPath) : shared_(std::make_shared<Shared>()) {
    ownsEngine_ = !g_engineExists.exchange(true);
    OSTROVID_ASSERT(ownsEngine_, "one speech engine per process");
    if (!ownsEngine_) return;

    // eSpeak quietly falls back to the installed data when the folder it is given is missing.
    if (!dataPath.isEmpty() && !QFileInfo(dataPath).isDir()) {
        LogStartFailure(static_cast<espeak_ng_STATUS>(ENOENT));
        return;
    }
    const QByteArray path = QFile::encodeName(dataPath);
    espeak_ng_InitializePath(dataPath.isEmpty() ? nullptr : path.constData());
    espeak_ng_ERROR_CONTEXT context = nullptr;
    espeak_ng_STATUS status = espeak_ng_Initialize(&context);
    espeak_ng_ClearErrorContext(&context);
    if (status != ENS_OK) {
        LogStartFailure(status);
        return;
    }
    status = espeak_ng_InitializeOutput(ENOUTPUT_MODE_SPEAK_AUDIO, 0, nullptr);
    if (status != ENS_OK) {
        LogStartFailure(status);
        espeak_ng_Terminate();
        return;
    }
    espeak_SetSynthCallback(&OnSynthesis);
    g_engine = shared_.get();
    shared_->running = true;

    for (const espeak_VOICE* const* voice = espeak_ListVoices(nullptr); voice && *voice; ++voice) {
        ++shared_->voiceCount;
        shared_->russianVoice = shared_->russianVoice || IsRussian(**voice);
    }
    if (shared_->russianVoice) {
        espeak_VOICE russian{};
        russian.languages = "ru";
        shared_->russianVoice = espeak_ng_SetVoiceByProperties(&russian) == ENS_OK;
    }
    // eSpeak 1.51 started a second time in one process hangs in its cancel and termination
    // unless its command thread has run a command; an empty text is one and says nothing.
    espeak_ng_Synthesize("", 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr, nullptr);
    if (const espeak_VOICE* current = espeak_GetCurrentVoice(); current && current->name)
        shared_->description = QString::fromUtf8(current->name);
}

SpeechEngine::~SpeechEngine() {
    if (shared_->running) {
        espeak_ng_Cancel();
        espeak_ng_Terminate();  // joins eSpeak's threads: no callback after this
        g_engine = nullptr;
        shared_->running = false;
    }
    if (ownsEngine_) g_engineExists = false;
}

bool SpeechEngine::Running() const { return shared_->running; }

bool SpeechEngine::RussianVoicePresent() const { return shared_->running && shared_->russianVoice; }

int SpeechEngine::VoiceCount() const { return shared_->running ? shared_->voiceCount : 0; }

std::unique_ptr<SpeechVoice> SpeechEngine::CreateVoice() {
    if (!shared_->running) return nullptr;
    const quint64 id = shared_->nextVoiceId++;
    auto voice = std::make_unique<EngineVoice>(shared_, id);
    shared_->voices[id] = voice.get();
    return voice;
}

}  // namespace actions
