#include "app/actions/alert_devices.h"

namespace actions {

AlertDevices::AlertDevices(const QString& speechDataPath)
    : engine_(speechDataPath), alertVoice_(engine_.RussianVoicePresent() ? engine_.CreateVoice() : nullptr) {}

bool AlertDevices::SoundAvailable() const { return player_.DeviceCount() > 0; }

bool AlertDevices::SpeechAvailable() const { return alertVoice_ != nullptr; }

void AlertDevices::PlayAlertSound(const QString& wavFile) { player_.Play(wavFile); }

void AlertDevices::PlayAlertSound(BuiltInSound sound) { player_.Play(sound); }

void AlertDevices::PlaySoundUnlessPlaying(BuiltInSound sound) {
    if (!player_.Playing()) player_.Play(sound);
}

void AlertDevices::SpeakAlertText(const QString& text) {
    if (alertVoice_) alertVoice_->Speak(text);
}

}  // namespace actions
