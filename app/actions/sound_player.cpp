#include "app/actions/sound_player.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QMediaDevices>

namespace actions {

namespace {

constexpr BuiltInSound kBuiltInSounds[] = {BuiltInSound::Snapshot, BuiltInSound::AllLists, BuiltInSound::GreenList,
                                           BuiltInSound::RedList, BuiltInSound::GrayList};

// Far more than any alert sound; a larger file is not read at all.
constexpr qint64 kLargestFile = 32 * 1024 * 1024;
// The alert records name four files at most; more means the settings changed meanwhile.
constexpr size_t kKeptFiles = 8;

std::optional<WavSound> ReadWav(const QString& path) {
    // Only regular files: opening a named pipe would wait for a writer.
    if (!QFileInfo(path).isFile()) return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kLargestFile) return std::nullopt;
    return ParseWav(file.readAll());
}

}  // namespace

QString BuiltInSoundPath(BuiltInSound sound) { return QStringLiteral(":/sounds/%1.wav").arg(static_cast<int>(sound)); }

SoundPlayer::SoundPlayer() : deviceCount_(static_cast<int>(QMediaDevices::audioOutputs().size())) {
    if (deviceCount_ == 0) return;
    for (BuiltInSound sound : kBuiltInSounds)
        if (std::optional<WavSound> wav = ReadWav(BuiltInSoundPath(sound))) builtIn_[sound] = std::move(*wav);
}

SoundPlayer::~SoundPlayer() { Stop(); }

void SoundPlayer::Play(const QString& wavFile) {
    if (deviceCount_ == 0) return;
    Stop();
    // A file that is gone, a folder or no WAV plays nothing; there is no fallback sound.
    if (wavFile.isEmpty()) return;
    const QFileInfo info(wavFile);
    if (!info.isFile()) return;
    const auto kept = files_.find(wavFile);
    if (kept != files_.end() && kept->second.size == info.size() && kept->second.modified == info.lastModified()) {
        Start(kept->second.sound);
        return;
    }
    std::optional<WavSound> wav = ReadWav(wavFile);
    if (!wav) return;
    if (files_.size() >= kKeptFiles) files_.clear();
    const FileSound& sound = files_[wavFile] = {info.size(), info.lastModified(), std::move(*wav)};
    Start(sound.sound);
}

void SoundPlayer::Play(BuiltInSound sound) {
    if (deviceCount_ == 0) return;
    Stop();
    const auto found = builtIn_.find(sound);
    if (found != builtIn_.end()) Start(found->second);
}

bool SoundPlayer::Playing() const { return output_ && output_->state() == QAudio::ActiveState; }

void SoundPlayer::Stop() {
    if (output_) output_->stop();
    output_.reset();
    playing_.reset();
}

void SoundPlayer::Start(const WavSound& sound) {
    playing_ = std::make_unique<QBuffer>();
    playing_->setData(sound.samples);
    playing_->open(QIODevice::ReadOnly);
    output_ = std::make_unique<QAudioSink>(QMediaDevices::defaultAudioOutput(), sound.format);
    output_->start(playing_.get());
}

}  // namespace actions
