// Writes the program's built-in alert sounds as WAV files into the folder named on the command
// line (the build embeds them as resources): 106.wav a camera shutter, 109.wav a two-note chime for
// all lists, 110.wav a rising chord for the green list, 111.wav an alarm for the red list and
// 112.wav a soft single note for the gray list. Deterministic, so builds are reproducible.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;

using Samples = std::vector<double>;  // -1..1

std::size_t Frames(double seconds) { return static_cast<std::size_t>(seconds * kRate); }

// A bell-like note: a few harmonics, a quick attack and an exponential decay, mixed in at `start`.
void AddNote(Samples& out, double start, double seconds, double frequency, double level) {
    const std::size_t first = Frames(start);
    const std::size_t count = Frames(seconds);
    out.resize(std::max(out.size(), first + count), 0.0);
    for (std::size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double attack = std::min(1.0, t / 0.005);
        const double decay = std::exp(-3.0 * t / seconds);
        const double release = std::min(1.0, (seconds - t) / 0.01);
        double wave = 0.0;
        for (const auto& [harmonic, weight] : {std::pair{1.0, 1.0}, {2.0, 0.35}, {3.0, 0.12}})
            wave += weight * std::sin(2.0 * std::numbers::pi * frequency * harmonic * t);
        out[first + i] += level * attack * decay * release * wave / 1.47;
    }
}

// A burst of decaying noise, low-passed a little: one blade of a shutter.
void AddClick(Samples& out, double start, double seconds, double level, std::uint32_t& seed) {
    const std::size_t first = Frames(start);
    const std::size_t count = Frames(seconds);
    out.resize(std::max(out.size(), first + count), 0.0);
    double smooth = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const double noise = static_cast<double>(seed >> 8) / double(1u << 24) * 2.0 - 1.0;
        smooth += 0.45 * (noise - smooth);
        const double t = static_cast<double>(i) / kRate;
        out[first + i] += level * std::exp(-4.0 * t / seconds) * smooth;
    }
}

bool WriteWav(const std::string& path, const Samples& samples) {
    std::vector<std::uint8_t> bytes;
    const auto put = [&bytes](std::uint32_t value, int size) {
        for (int i = 0; i < size; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    };
    const auto tag = [&bytes](const char* text) { bytes.insert(bytes.end(), text, text + 4); };
    const auto dataSize = static_cast<std::uint32_t>(samples.size() * 2);
    tag("RIFF");
    put(36 + dataSize, 4);
    tag("WAVE");
    tag("fmt ");
    put(16, 4);
    put(1, 2);  // PCM
    put(1, 2);  // mono
    put(kRate, 4);
    put(kRate * 2, 4);
    put(2, 2);
    put(16, 2);
    tag("data");
    put(dataSize, 4);
    for (double sample : samples) {
        const long value = std::lround(std::clamp(sample, -1.0, 1.0) * 32767.0);
        put(static_cast<std::uint32_t>(static_cast<std::int16_t>(value)) & 0xFFFFu, 2);
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];

    std::uint32_t seed = 106;
    Samples shutter;
    AddClick(shutter, 0.0, 0.035, 0.8, seed);
    AddClick(shutter, 0.085, 0.055, 0.6, seed);

    Samples allLists;
    AddNote(allLists, 0.0, 0.22, 880.0, 0.5);
    AddNote(allLists, 0.16, 0.26, 1318.5, 0.45);

    Samples green;
    AddNote(green, 0.0, 0.16, 1046.5, 0.4);
    AddNote(green, 0.12, 0.16, 1318.5, 0.4);
    AddNote(green, 0.24, 0.26, 1568.0, 0.4);

    Samples red;
    for (int beep = 0; beep < 4; ++beep) AddNote(red, 0.15 * beep, 0.11, beep % 2 ? 784.0 : 988.0, 0.55);

    Samples gray;
    AddNote(gray, 0.0, 0.35, 660.0, 0.45);

    for (const auto& [name, samples] :
         {std::pair{"106", &shutter}, {"109", &allLists}, {"110", &green}, {"111", &red}, {"112", &gray}}) {
        const std::string path = folder + "/" + name + ".wav";
        if (!WriteWav(path, *samples)) {
            std::perror(path.c_str());
            return 1;
        }
    }
    return 0;
}
