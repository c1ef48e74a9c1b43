#pragma once
// Neither sound nor speech, for the tests of the whole program that are about something else.

#include "app/actions/alert_outputs.h"

namespace testsupport {

class SilentAlerts final : public actions::AlertOutputs {
public:
    bool SoundAvailable() const override { return false; }
    bool SpeechAvailable() const override { return false; }
    void PlayAlertSound(const QString&) override {}
    void PlayAlertSound(actions::BuiltInSound) override {}
    void SpeakAlertText(const QString&) override {}
};

}  // namespace testsupport
