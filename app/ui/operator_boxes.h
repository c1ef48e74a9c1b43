#pragma once
// Purpose: the message boxes of the database operations: questions and notices captioned with the
//          program's title (timed notices close by themselves), Retry/Cancel and error boxes with the
//          operation's caption, and the wait cursor while an operation runs.
// Threads: the user-interface thread only.
// Owns: nothing; the boxes are modal and owned by the parent window while shown.

#include "app/database/db_operation.h"
#include "app/database/operator_dialogs.h"

class QWidget;

namespace ui {

class OperatorBoxes final : public database::DbUserInterface, public database::OperatorDialogs {
public:
    // parent owns the boxes (may be null).
    explicit OperatorBoxes(QWidget* parent) : parent_(parent) {}

    database::Answer AskYesNo(const QString& text, database::DefaultButton defaultButton) override;
    database::Answer AskYesNoCancel(const QString& text, database::DefaultButton defaultButton) override;
    void ShowNotice(const QString& text, database::NoticeIcon icon) override;
    void ShowTimedNotice(const QString& text, database::NoticeIcon icon, std::chrono::milliseconds shown) override;

    void BeginWait() override;
    void EndWait() override;
    bool AskRetry(const QString& caption, const QString& description) override;
    void ShowError(const QString& caption, const QString& description) override;

private:
    QWidget* parent_;
};

}  // namespace ui
