#pragma once
// Purpose: the short messages the settings pages give the operator (an outcome, a refusal), as a
//          record the pages build and a message box that shows it; pages take the box as a
//          replaceable service, so their tests see the record instead.
// Threads: the user-interface thread only.
// Owns: nothing; a box is modal and lives only while shown.

#include <QString>

#include <chrono>

class QWidget;

namespace ui {

enum class NoticeKind { Information, Error };

struct PageNotice {
    NoticeKind kind = NoticeKind::Information;
    QString text;
    // Zero: the box stays until the operator closes it.
    std::chrono::milliseconds shown{0};
};

// A message box captioned with the program's title; a timed one closes by itself.
void ShowPageNotice(QWidget* owner, const PageNotice& notice);

}  // namespace ui
