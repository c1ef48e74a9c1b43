#pragma once
// Purpose: the pop-up list of a template edit field: typing "%" opens the family's insertion list
//          at the caret (each entry's text, a tab, its caption; separators as separators); the
//          chosen entry replaces the typed "%", Escape leaves it. The pop-up reads and edits its
//          field through a small access record, so a multi-line field needs only its own.
// Threads: the user-interface thread only.
// Owns: the pop-up menu and its key watcher (both children of the field).

#include "app/actions/template_vocabulary.h"

#include <QtGlobal>

class QLineEdit;
class QMenu;
class QPlainTextEdit;

namespace ui {

// The pop-up carries the list's popup name as its object name. The field's own maximum length
// holds: an entry that would not fit is not inserted.
QMenu* AttachInsertionPopup(QLineEdit* field, const actions::InsertionList& list);
// A multi-line field has no maximum of its own: an entry that would take the text past maxLength
// is not inserted.
QMenu* AttachInsertionPopup(QPlainTextEdit* field, const actions::InsertionList& list, qsizetype maxLength);

}  // namespace ui
