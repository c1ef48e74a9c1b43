#pragma once
// Purpose: the small marker drawn beside a person card field (and in the first column of a
//          property row) while its edited value differs from the stored one.
// Threads: the user-interface thread.
// Owns: nothing.

#include <QIcon>

namespace ui {

inline constexpr int kCardMarkerSize = 16;

QIcon CardMarkerIcon();

}  // namespace ui
