#pragma once
// Purpose: the settings page "Распознавание": number of faces, the two distance sliders in
//          percent, the repeat count, short invisibility and how long a recognized person is
//          remembered. Every change goes to RecognitionPageRules, which edits the sheet's copy.
// Threads: the user-interface thread only.
// Owns: its child widgets (through Qt's parent ownership) and the rules.

#include "app/ui/recognition_page_rules.h"

#include <QWidget>

class QLabel;
class QSlider;

namespace ui {

class RecognitionPage final : public QWidget {
public:
    RecognitionPage(settings::SettingsState& copy, QWidget* parent = nullptr);

private:
    // Shows the rules' slider positions after one of them moved.
    void ShowSliders();

    RecognitionPageRules rules_;
    QSlider* likely_ = nullptr;
    QSlider* assurance_ = nullptr;
    QLabel* likelyLabel_ = nullptr;
    QLabel* assuranceLabel_ = nullptr;
};

}  // namespace ui
