#pragma once
// Purpose: plays the alert sounds: the five built-in sounds, read into memory at start-up, and
//          WAV files named in the settings. One sound at a time: a new one stops the one still
//          playing. A file that is missing or is not a WAV plays nothing.
// Threads: created, used and destroyed on the user-interface thread; the device pulls the samples
//          from memory on its own, so playing never waits for the sound.
// Owns: the decoded built-in sounds and the output stream of the sound playing.

#include "app/actions/alert_outputs.h"
#include "app/actions/sound_wav.h"

#include <QDateTime>
#include <QString>

#include <map>
#include <memory>

class QAudioSink;
class QBuffer;

namespace actions {

class SoundPlayer {
public:
    // Counts the output devices and, when there is one, loads the built-in sounds.
    SoundPlayer();
    ~SoundPlayer();
    SoundPlayer(const SoundPlayer&) = delete;
    SoundPlayer& operator=(const SoundPlayer&) = delete;

    // Output devices found at start-up; no sound is ever played without one.
    int DeviceCount() const { return deviceCount_; }

    void Play(const QString& wavFile);
    void Play(BuiltInSound sound);
    // A sound is still coming out (not yet played to its end nor stopped).
    bool Playing() const;

private:
    void Start(const WavSound& sound);
    void Stop();

    // A file sound read before, kept while the file stays the same: reading it again on every
    // recognition would cost the user-interface thread milliseconds.
    struct FileSound {
        qint64 size = 0;
        QDateTime modified;
        WavSound sound;
    };

    int deviceCount_ = 0;
    std::map<BuiltInSound, WavSound> builtIn_;
    std::map<QString, FileSound> files_;
    // The buffer goes after the stream that reads it.
    std::unique_ptr<QBuffer> playing_;
    std::unique_ptr<QAudioSink> output_;
};

// The resource path of a built-in sound (":/sounds/109.wav").
QString BuiltInSoundPath(BuiltInSound sound);

}  // namespace actions
