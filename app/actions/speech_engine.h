#pragma once
// Purpose: the process's one eSpeak NG engine (its state is global to the library). It speaks
//          through eSpeak's own playback thread, which queues the texts of every voice one after
//          the other, and hands each voice the word and end-of-text events of its own texts. The
//          Russian voice, when installed, is made the engine's default voice.
// Threads: created, used and destroyed on the user-interface thread. eSpeak calls back on its
//          own thread; those events are queued to the user-interface thread and delivered there
//          only to voices still alive.
// Owns: the engine (from start to eSpeak's termination) and the texts in its queue.

#include "app/actions/speech_voice.h"

#include <QString>

#include <memory>

namespace actions {

class SpeechEngine final : public SpeechVoices {
public:
    // Starts eSpeak with the data in `dataPath` (the espeak-ng-data folder or its parent; empty:
    // the installed data). A failure is logged and leaves the engine stopped.
    explicit SpeechEngine(const QString& dataPath = {});
    // Drops the queued texts and ends eSpeak's threads.
    ~SpeechEngine() override;
    SpeechEngine(const SpeechEngine&) = delete;
    SpeechEngine& operator=(const SpeechEngine&) = delete;

    bool Running() const;
    bool RussianVoicePresent() const;

    int VoiceCount() const override;
    std::unique_ptr<SpeechVoice> CreateVoice() override;

    struct Shared;

private:
    std::shared_ptr<Shared> shared_;
    bool ownsEngine_ = false;
};

}  // namespace actions
