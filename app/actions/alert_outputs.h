#pragma once
// Purpose: the immediate alerts of a recognition: a sound and a spoken text. Both calls return at
//          once; an alert sound replaces one still playing, texts queue behind one another.
// Threads: the user-interface thread only (the sound player lives there).
// Owns: nothing here; implementations own their player and voice.

#include <QString>

namespace actions {

// The program's own sounds; the numbers are the resource ids the settings and logs know.
enum class BuiltInSound { Snapshot = 106, AllLists = 109, GreenList = 110, RedList = 111, GrayList = 112 };

class AlertOutputs {
public:
    virtual ~AlertOutputs() = default;
    // A sound output device was found at start-up.
    virtual bool SoundAvailable() const = 0;
    // The speech engine runs and has a Russian voice.
    virtual bool SpeechAvailable() const = 0;
    // A missing or unreadable file plays nothing.
    virtual void PlayAlertSound(const QString& wavFile) = 0;
    virtual void PlayAlertSound(BuiltInSound sound) = 0;
    // A sound that gives way: nothing when another sound is still playing (the snapshot's).
    // Outputs that cannot tell play it like any other.
    virtual void PlaySoundUnlessPlaying(BuiltInSound sound) { PlayAlertSound(sound); }
    // The text may carry the speech control tags (<spell>, <emph>, <silence/>, <lang>).
    virtual void SpeakAlertText(const QString& text) = 0;
};

}  // namespace actions
