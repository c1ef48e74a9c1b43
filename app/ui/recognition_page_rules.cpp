#include "app/ui/recognition_page_rules.h"

#include <algorithm>

namespace ui {

namespace {

constexpr int kMinutesPerHour = 60;

int PositionOf(uint32_t distance, int minimum, int maximum) {
    return std::clamp(100 - int(std::min<uint32_t>(distance, 100)), minimum, maximum);
}

}  // namespace

RecognitionPageRules::RecognitionPageRules(settings::SettingsState& copy)
    : copy_(copy),
      likely_(PositionOf(copy.recognition.LikelyDistance, kSliderMin, kSliderMax)),
      assurance_(PositionOf(copy.recognition.AssuranceDistance, kSliderMin, kSliderMax)),
      repeat_(int(std::clamp<uint32_t>(copy.recognition.RepeatForRecognition, kRepeatMin, kRepeatMax))) {
    const uint32_t remember = copy.recognition.RememberRecognized;
    if (remember >= kMinutesPerHour) {
        rememberUnit_ = TimeUnit::Hours;
        rememberNumber_ = int(std::min<uint32_t>(remember / kMinutesPerHour, 99));
    } else {
        rememberUnit_ = TimeUnit::Minutes;
        rememberNumber_ = std::max<int>(int(remember), 1);
    }
}

NumberEntry RecognitionPageRules::SetMaxSubject(const QString& text) {
    NumberEntry entry = EnterLimitedNumber(text, kMaxSubjectMin, kMaxSubjectMax);
    copy_.recognition.MaxSubject = uint32_t(entry.value);
    Store();
    return entry;
}

void RecognitionPageRules::SetLikelyPosition(int position) {
    likely_ = std::clamp(position, kSliderMin, kSliderMax);
    assurance_ = std::max(assurance_, likely_);
    Store();
}

void RecognitionPageRules::SetAssurancePosition(int position) {
    assurance_ = std::clamp(position, kSliderMin, kSliderMax);
    likely_ = std::min(likely_, assurance_);
    Store();
}

void RecognitionPageRules::SetRepeat(int value) {
    repeat_ = std::clamp(value, kRepeatMin, kRepeatMax);
    Store();
}

void RecognitionPageRules::SetShortInvisibility(bool on) {
    copy_.recognition.ShortInvisibility = on ? 1 : 0;
    Store();
}

NumberEntry RecognitionPageRules::SetRememberNumber(const QString& text) {
    // 0 becomes one unit and, unlike other lower limits, the field shows it.
    NumberEntry entry = EnterLimitedNumber(text, 1, 99);
    if (!entry.shown && !text.trimmed().isEmpty() && entry.value != text.trimmed().toInt()) {
        entry.shown = QString::number(entry.value);
    }
    rememberNumber_ = int(entry.value);
    Store();
    return entry;
}

void RecognitionPageRules::SetRememberUnit(TimeUnit unit) {
    rememberUnit_ = unit;
    Store();
}

void RecognitionPageRules::Store() {
    settings::RecognitionSettings& r = copy_.recognition;
    r.LikelyDistance = uint32_t(100 - likely_);
    r.AssuranceDistance = uint32_t(100 - assurance_);
    r.RepeatForRecognition = uint32_t(repeat_);
    r.RememberRecognized = uint32_t(rememberNumber_ * (rememberUnit_ == TimeUnit::Hours ? kMinutesPerHour : 1));
}

}  // namespace ui
