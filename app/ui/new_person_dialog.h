#pragma once
// Purpose: the "Новая персона" dialog of the database browser and the person chooser: the
//          controls only; every change goes to database::NewPersonForm, which decides what is kept,
//          when "OK" is enabled and what is asked on "OK".
// Threads: the user-interface thread only.
// Owns: its child widgets (through Qt's parent ownership) and the form.

#include "app/database/new_person_form.h"

#include <QDialog>

class QFormLayout;
class QPushButton;

namespace ui {

class NewPersonDialog final : public QDialog {
public:
    // initialList: the list chosen at first. dialogs asks the date question; it must outlive the
    // dialog.
    NewPersonDialog(database::WatchList initialList, database::OperatorDialogs& dialogs, QWidget* parent = nullptr);

    // After exec() returned QDialog::Accepted: the person to insert.
    const database::NewPersonInput& Input() const { return form_.Input(); }

    void accept() override;  // "OK"

private:
    // An edit of at most maxLength characters whose every change goes to the form through set.
    void AddEdit(const QString& label, const QString& name, int maxLength,
                 void (database::NewPersonForm::*set)(const QString&));

    database::NewPersonForm form_;
    database::OperatorDialogs& dialogs_;
    QFormLayout* fields_ = nullptr;
    QPushButton* ok_ = nullptr;
};

}  // namespace ui
