#pragma once
// The program's pictures, drawn at run time: toolbar images, the journal's small icons, the
// status-bar icons and the splash background.

#include "app/shell/journal.h"

#include <QIcon>
#include <QPixmap>

namespace ui {

// Main toolbar image list: 0 start, 1 stop, 2 camera, 3 settings, 4 database, 5 snapshot.
QIcon ToolbarIcon(int image);
// Journal list icons: each tab's image list, chosen by the entry's icon.
QIcon JournalIcon(const shell::EntryIcon& icon);
// Tab icons 0..7 (0 neutral, 1 database available, 2 not configured, 3 error, 4..7 the tabs).
QIcon TabIcon(int index);
// Status-bar icons; None draws nothing.
QIcon StatusBarIcon(shell::StatusIcon icon);
// The splash background of the waiting, model-loading and about windows.
QPixmap SplashPixmap();

}  // namespace ui
