#pragma once
// Purpose: the snapshot page's own questions and notices, with their Russian endings.
// Threads: any (pure functions).
// Owns: nothing.

#include <QString>

namespace snapshots {

// "Удалить %d выбранн%s сним%s?" for n selected snapshots.
QString DeleteSelectedQuestion(int n);
// None selected, one focused.
QString DeleteFocusedQuestion();
// The snapshot command while the page is full.
QString SnapshotsFullNotice();

}  // namespace snapshots
