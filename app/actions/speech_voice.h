#pragma once
// Purpose: one speaking voice: queues texts with the speech control tags and reports, for the
//          texts it spoke itself, the word being spoken and the end of each text. The alerts use
//          one shared voice; each speech test dialog makes its own.
// Threads: created, used and destroyed on the user-interface thread; progress is delivered
//          there too (queued), never after the voice is gone.
// Owns: its place in the engine's queue.

#include <QString>

#include <functional>
#include <memory>

namespace actions {

struct SpeechProgress {
    enum class Kind { Word, EndOfText };
    Kind kind = Kind::Word;
    // Word: the spoken word's position and length in the text given to Speak (UTF-16 units).
    qsizetype position = 0;
    qsizetype length = 0;
};

class SpeechVoice {
public:
    virtual ~SpeechVoice() = default;
    // Asynchronous; a failure is ignored.
    virtual void Speak(const QString& text) = 0;
    // The description of the voice the engine speaks with.
    virtual QString Description() const = 0;

    std::function<void(const SpeechProgress&)> onProgress;
};

// The speech engine as the dialogs see it.
class SpeechVoices {
public:
    virtual ~SpeechVoices() = default;
    // Every installed voice, of any language (the person card's " Тест" needs one).
    virtual int VoiceCount() const = 0;
    // A voice of its own for a test dialog; null when the engine cannot make one.
    virtual std::unique_ptr<SpeechVoice> CreateVoice() = 0;
};

}  // namespace actions
