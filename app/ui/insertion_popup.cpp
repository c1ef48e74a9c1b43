#include "app/ui/insertion_popup.h"

#include "app/actions/template_insertion.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTimer>

#include <functional>
#include <utility>

namespace ui {

namespace {

// How the pop-up reads and edits one kind of field.
struct FieldAccess {
    std::function<QString()> text;
    std::function<qsizetype()> caret;
    std::function<qsizetype()> maxLength;
    std::function<void(const actions::TemplateInsertion&)> apply;
    // Where the list opens: under the caret, in global coordinates.
    std::function<QPoint()> below;
};

class InsertionPopup final : public QObject {
public:
    InsertionPopup(QWidget* field, FieldAccess access, const actions::InsertionList& list)
        : QObject(field), field_(field), access_(std::move(access)), menu_(new QMenu(field)) {
        menu_->setObjectName(list.popupName.toString());
        for (const actions::InsertionEntry& entry : list.entries) {
            if (entry.kind == actions::InsertionEntryKind::Separator) {
                menu_->addSeparator();
                continue;
            }
            QAction* action = menu_->addAction(actions::InsertionEntryLabel(entry));
            connect(action, &QAction::triggered, this, [this, text = entry.text.toString()] { Insert(text); });
        }
        field->installEventFilter(this);
    }

    QMenu* Menu() const { return menu_; }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == field_ && event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->text() == QStringLiteral("%")) {
            // The field takes the key first; the list opens once the "%" is in the text.
            QTimer::singleShot(0, this, [this] { Open(); });
        }
        return false;
    }

private:
    void Open() {
        const QString text = access_.text();
        const qsizetype caret = access_.caret();
        // A read-only or full field refused the key: nothing to replace.
        if (caret <= 0 || caret > text.size() || text[caret - 1] != u'%') return;
        menu_->popup(access_.below());
    }

    void Insert(const QString& entry) {
        const std::optional<actions::TemplateInsertion> insertion =
            actions::PlanInsertion(access_.text(), access_.caret(), entry, access_.maxLength());
        if (insertion) access_.apply(*insertion);
    }

    QWidget* field_;
    FieldAccess access_;
    QMenu* menu_;
};

}  // namespace

QMenu* AttachInsertionPopup(QLineEdit* field, const actions::InsertionList& list) {
    FieldAccess access{
        [field] { return field->text(); },
        [field] { return qsizetype{field->cursorPosition()}; },
        [field] { return qsizetype{field->maxLength()}; },
        [field](const actions::TemplateInsertion& insertion) {
            // Through the field's own editing, so that undo takes the insertion back.
            field->setCursorPosition(static_cast<int>(insertion.start));
            field->cursorForward(true, static_cast<int>(insertion.length));
            field->insert(insertion.text);
        },
        [field] { return field->mapToGlobal(field->inputMethodQuery(Qt::ImCursorRectangle).toRect().bottomLeft()); },
    };
    return (new InsertionPopup(field, std::move(access), list))->Menu();
}

QMenu* AttachInsertionPopup(QPlainTextEdit* field, const actions::InsertionList& list, qsizetype maxLength) {
    FieldAccess access{
        [field] { return field->toPlainText(); },
        // A plain text's cursor positions count its line breaks as one unit, as the text does.
        [field] { return qsizetype{field->textCursor().position()}; },
        [maxLength] { return maxLength; },
        [field](const actions::TemplateInsertion& insertion) {
            QTextCursor cursor = field->textCursor();
            cursor.setPosition(static_cast<int>(insertion.start));
            cursor.setPosition(static_cast<int>(insertion.start + insertion.length), QTextCursor::KeepAnchor);
            cursor.insertText(insertion.text);
            field->setTextCursor(cursor);
        },
        [field] { return field->viewport()->mapToGlobal(field->cursorRect().bottomLeft()); },
    };
    return (new InsertionPopup(field, std::move(access), list))->Menu();
}

}  // namespace ui
