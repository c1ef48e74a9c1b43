#pragma once
// Purpose: reads a WAV file's bytes into samples a sound device can play: PCM of 8, 16, 24 or 32
//          bits or 32-bit float, in the plain or the extensible header. Anything else, and any
//          file whose chunks do not add up, is no sound at all.
// Threads: any (pure function).
// Owns: nothing.

#include <QAudioFormat>
#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace actions {

struct WavSound {
    QAudioFormat format;
    QByteArray samples;  // whole frames only
};

std::optional<WavSound> ParseWav(QByteArrayView bytes);

}  // namespace actions
