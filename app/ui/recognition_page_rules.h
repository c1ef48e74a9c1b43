#pragma once
// Purpose: the rules of the settings page "Распознавание" without a display: the two distance
//          sliders in percent and their ordering, the repeat count, the number of faces, and
//          RememberRecognized shown as minutes or hours.
// Threads: the user-interface thread.
// Owns: the page's shown values; edits the sheet's copy it was given.

#include "app/ui/number_entry.h"
#include "settings/settings_state.h"

namespace ui {

enum class TimeUnit { Minutes, Hours };

class RecognitionPageRules {
public:
    static constexpr int kSliderMin = 50;
    static constexpr int kSliderMax = 85;
    static constexpr int kRepeatMin = 1;
    static constexpr int kRepeatMax = 10;
    static constexpr int kMaxSubjectMin = 1;
    static constexpr int kMaxSubjectMax = 16;
    static constexpr int kNumberDigits = 2;

    // Takes the shown values from the copy; writes nothing until something changes.
    explicit RecognitionPageRules(settings::SettingsState& copy);

    NumberEntry SetMaxSubject(const QString& text);

    // Slider positions in percent; value = 100 - position. Each setter keeps the two ordered by
    // moving the other slider when needed.
    int LikelyPosition() const { return likely_; }
    int AssurancePosition() const { return assurance_; }
    void SetLikelyPosition(int position);
    void SetAssurancePosition(int position);

    int Repeat() const { return repeat_; }
    void SetRepeat(int value);
    void SetShortInvisibility(bool on);

    // RememberRecognized as the number field and the unit list show it.
    int RememberNumber() const { return rememberNumber_; }
    TimeUnit RememberUnit() const { return rememberUnit_; }
    // The field's new text when it must change (0 becomes 1, above the field's digits).
    NumberEntry SetRememberNumber(const QString& text);
    void SetRememberUnit(TimeUnit unit);

private:
    // Any change on the page writes the shown values back, RememberRecognized included.
    void Store();

    settings::SettingsState& copy_;
    int likely_;
    int assurance_;
    int repeat_;
    int rememberNumber_;
    TimeUnit rememberUnit_;
};

}  // namespace ui
