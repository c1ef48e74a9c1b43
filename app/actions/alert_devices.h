#pragma once
// Purpose: the program's sound and speech outputs, made at start-up: the speech engine with the
//          voice the recognition alerts speak with, and the sound player with the built-in sounds.
//          The speech test dialogs make their own voices from Voices().
// Threads: created, used and destroyed on the user-interface thread.
// Owns: the speech engine, the alerts' voice and the sound player.

#include "app/actions/alert_outputs.h"
#include "app/actions/sound_player.h"
#include "app/actions/speech_engine.h"

#include <QString>

#include <memory>

namespace actions {

class AlertDevices final : public AlertOutputs {
public:
    // Starts the speech engine (a failure is logged and leaves speech unavailable), counts the
    // sound output devices and loads the built-in sounds. `speechDataPath` as for SpeechEngine.
    explicit AlertDevices(const QString& speechDataPath = {});

    bool SoundAvailable() const override;
    bool SpeechAvailable() const override;
    void PlayAlertSound(const QString& wavFile) override;
    void PlayAlertSound(BuiltInSound sound) override;
    void PlaySoundUnlessPlaying(BuiltInSound sound) override;
    void SpeakAlertText(const QString& text) override;

    // For the speech test dialogs (their voices) and the alerts settings page, which tells a
    // missing engine (not Running) from a missing Russian voice.
    SpeechEngine& Voices() { return engine_; }

private:
    // Declared in start-up order; the voice goes before its engine.
    SpeechEngine engine_;
    SoundPlayer player_;
    std::unique_ptr<SpeechVoice> alertVoice_;
};

}  // namespace actions
