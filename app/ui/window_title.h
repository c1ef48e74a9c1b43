#pragma once
// The main window's title: the program's name, and in the demonstration that it is one and how
// to leave it. The start script marks the demonstration with OSTROVID_DEMO=1 in the program's
// environment; the program changes nothing else for it. Any thread may call these.

#include <QString>

namespace ui {

enum class Presentation { Real, Demonstration };

// Demonstration when OSTROVID_DEMO is set to anything but empty or "0".
Presentation PresentationFromEnvironment();

QString MainWindowTitle(Presentation presentation);

}  // namespace ui
