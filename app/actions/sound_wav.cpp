#include "app/actions/sound_wav.h"

#include <QtEndian>

namespace actions {

namespace {

constexpr quint16 kPcm = 1;
constexpr quint16 kFloat = 3;
constexpr quint16 kExtensible = 0xFFFE;

struct Format {
    quint16 tag = 0;
    quint16 channels = 0;
    quint32 rate = 0;
    quint16 blockAlign = 0;
    quint16 bits = 0;
};

std::optional<Format> ReadFormat(QByteArrayView chunk) {
    if (chunk.size() < 16) return std::nullopt;
    Format format;
    format.tag = qFromLittleEndian<quint16>(chunk.data());
    format.channels = qFromLittleEndian<quint16>(chunk.data() + 2);
    format.rate = qFromLittleEndian<quint32>(chunk.data() + 4);
    format.blockAlign = qFromLittleEndian<quint16>(chunk.data() + 12);
    format.bits = qFromLittleEndian<quint16>(chunk.data() + 14);
    // The extensible header names the real format in the first two bytes of its sub-format.
    if (format.tag == kExtensible) {
        if (chunk.size() < 40) return std::nullopt;
        format.tag = qFromLittleEndian<quint16>(chunk.data() + 24);
    }
    const bool pcm =
        format.tag == kPcm && (format.bits == 8 || format.bits == 16 || format.bits == 24 || format.bits == 32);
    const bool floating = format.tag == kFloat && format.bits == 32;
    if (!pcm && !floating) return std::nullopt;
    if (format.channels < 1 || format.channels > 8 || format.rate < 1000 || format.rate > 384000) return std::nullopt;
    if (format.blockAlign != format.channels * format.bits / 8) return std::nullopt;
    return format;
}

// 24-bit samples have no device format of their own; they become the top bytes of 32-bit ones.
QByteArray Widen24(QByteArrayView data) {
    QByteArray wide(data.size() / 3 * 4, '\0');
    for (qsizetype in = 0, out = 0; in + 3 <= data.size(); in += 3, out += 4) {
        wide[out + 1] = data[in];
        wide[out + 2] = data[in + 1];
        wide[out + 3] = data[in + 2];
    }
    return wide;
}

QAudioFormat::SampleFormat SampleFormat(const Format& format) {
    if (format.tag == kFloat) return QAudioFormat::Float;
    switch (format.bits) {
    case 8:
        return QAudioFormat::UInt8;
    case 16:
        return QAudioFormat::Int16;
    default:
        return QAudioFormat::Int32;
    }
}

}  // namespace

std::optional<WavSound> ParseWav(QByteArrayView bytes) {
    if (bytes.size() < 12 || bytes.first(4) != "RIFF" || bytes.sliced(8, 4) != "WAVE") return std::nullopt;
    std::optional<Format> format;
    qsizetype at = 12;
    while (at + 8 <= bytes.size()) {
        const QByteArrayView id = bytes.sliced(at, 4);
        const quint32 declared = qFromLittleEndian<quint32>(bytes.data() + at + 4);
        at += 8;
        // A data chunk cut short (a file copied in part) still plays what is there.
        const qsizetype size = std::min<qsizetype>(declared, bytes.size() - at);
        if (id == "fmt ") {
            format = ReadFormat(bytes.sliced(at, size));
            if (!format) return std::nullopt;
        } else if (id == "data") {
            if (!format) return std::nullopt;
            const qsizetype whole = size / format->blockAlign * format->blockAlign;
            if (whole == 0) return std::nullopt;
            const QByteArrayView data = bytes.sliced(at, whole);
            WavSound sound;
            sound.format.setChannelCount(format->channels);
            sound.format.setSampleRate(static_cast<int>(format->rate));
            sound.format.setSampleFormat(SampleFormat(*format));
            sound.samples = format->bits == 24 ? Widen24(data) : data.toByteArray();
            return sound;
        }
        at += size + (size & 1);  // chunks are padded to even sizes
    }
    return std::nullopt;
}

}  // namespace actions
