#pragma once
// Purpose: "Проверка отправки почты": asks for the recipients of the test mail, pre-filled with the
//          recipients being edited; OK only while the field is not empty.
// Threads: the user-interface thread only.
// Owns: its child widgets.

#include <QDialog>

#include <optional>

class QLineEdit;
class QPushButton;

namespace ui {

class TestMailDialog final : public QDialog {
public:
    TestMailDialog(const QString& recipients, QWidget* parent = nullptr);
    QString Recipients() const;

private:
    QLineEdit* recipients_ = nullptr;
    QPushButton* ok_ = nullptr;
};

// The recipients chosen; nothing when cancelled.
std::optional<QString> AskTestRecipients(QWidget* owner, const QString& recipients);

}  // namespace ui
