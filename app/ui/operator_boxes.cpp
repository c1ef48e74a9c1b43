#include "app/ui/operator_boxes.h"

#include "app/ui/splash_windows.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

namespace ui {

namespace {

using database::Answer;
using database::DefaultButton;
using database::NoticeIcon;

QMessageBox::Icon BoxIcon(NoticeIcon icon) {
    switch (icon) {
    case NoticeIcon::Information:
        return QMessageBox::Information;
    case NoticeIcon::Warning:
        return QMessageBox::Warning;
    case NoticeIcon::Error:
        break;
    }
    return QMessageBox::Critical;
}

// The buttons in order; the default one is the first or the second.
Answer AskQuestion(QWidget* parent, const QString& text, QMessageBox::StandardButtons buttons,
                   DefaultButton defaultButton) {
    QMessageBox box(QMessageBox::Question, kProgramTitle, text, buttons, parent);
    box.setDefaultButton(defaultButton == DefaultButton::First ? QMessageBox::Yes : QMessageBox::No);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

}  // namespace

Answer OperatorBoxes::AskYesNo(const QString& text, DefaultButton defaultButton) {
    const Answer answer = AskQuestion(parent_, text, QMessageBox::Yes | QMessageBox::No, defaultButton);
    // Closing the box is No, as the system's Yes/No box has no other way out.
    return answer == Answer::Yes ? Answer::Yes : Answer::No;
}

Answer OperatorBoxes::AskYesNoCancel(const QString& text, DefaultButton defaultButton) {
    return AskQuestion(parent_, text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, defaultButton);
}

void OperatorBoxes::ShowNotice(const QString& text, NoticeIcon icon) {
    QMessageBox box(BoxIcon(icon), kProgramTitle, text, QMessageBox::Ok, parent_);
    box.exec();
}

void OperatorBoxes::ShowTimedNotice(const QString& text, NoticeIcon icon, std::chrono::milliseconds shown) {
    QMessageBox box(BoxIcon(icon), kProgramTitle, text, QMessageBox::Ok, parent_);
    QTimer::singleShot(shown, &box, [&box] { box.done(QMessageBox::Ok); });
    box.exec();
}

void OperatorBoxes::BeginWait() { QApplication::setOverrideCursor(Qt::WaitCursor); }
void OperatorBoxes::EndWait() { QApplication::restoreOverrideCursor(); }

bool OperatorBoxes::AskRetry(const QString& caption, const QString& description) {
    QMessageBox box(QMessageBox::Question, caption, description, QMessageBox::Retry | QMessageBox::Cancel, parent_);
    box.setDefaultButton(QMessageBox::Retry);
    return box.exec() == QMessageBox::Retry;
}

void OperatorBoxes::ShowError(const QString& caption, const QString& description) {
    QMessageBox box(QMessageBox::Critical, caption, description, QMessageBox::Ok, parent_);
    box.exec();
}

}  // namespace ui
