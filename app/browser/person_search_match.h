#pragma once
// Purpose: the search window's wildcard matching: * stands for any text (also none), ? for any one
//          character, every other character for itself without regard to letter case; the pattern
//          must cover the whole text.
// Threads: any (a pure function).
// Owns: nothing.

#include <QString>

namespace browser {

bool WildcardMatch(const QString& pattern, const QString& text);

}  // namespace browser
