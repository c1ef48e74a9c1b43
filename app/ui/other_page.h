#pragma once
// Purpose: page "Прочее" of the settings sheet: the program's start at logon.
// Threads: the user-interface thread only.
// Owns: its check box (through Qt's parent ownership).

#include "settings/settings_state.h"

#include <QWidget>

namespace ui {

class OtherPage final : public QWidget {
public:
    OtherPage(settings::SettingsState& copy, QWidget* parent = nullptr);
};

}  // namespace ui
