#pragma once
// Purpose: the "Создание базы данных" dialog: an SQLite file or a PostgreSQL server with its
//          credentials and database name; tests the server and creates the database with the
//          program's schema, replacing an existing one only after the operator agreed
//          (ReplaceQuestions). With DatabaseDialogMode::Edit it only composes the string.
// Threads: the user-interface thread; the connection test and the creation run in the background.
// Owns: its child widgets (Qt parent ownership), the form and the background call.

#include "app/database/operator_dialogs.h"
#include "app/ui/background_call.h"
#include "app/ui/database_page_rules.h"

#include <QDialog>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace ui {

enum class DatabaseDialogMode { Create, Edit };

class DatabaseCreationDialog final : public QDialog {
public:
    DatabaseCreationDialog(const QString& connectionString, DatabaseDialogMode mode, QWidget* parent);

    // The whole string after OK.
    QString ConnectionString() const { return result_; }

    // Message boxes and the file chooser; replaced by tests.
    std::function<void(const QString& text, const QString& caption, database::NoticeIcon icon)> showNotice;
    std::function<QString(const QString& current)> chooseFile;
    // A Yes/No question (No is the default); true for Yes.
    std::function<bool(const QString& text, const QString& caption)> askQuestion;
    // The connection string the program works with now (the settings page sets it): a database it
    // names is reported as in use.
    QString stringInUse;

    void reject() override;

private:
    void ShowForm();
    void UpdateEnabling();
    void SetBusy(bool busy);
    void TestConnection();
    void Finish();
    // Asks on the dialog's thread for the creation running in the background, which waits.
    bool AskFromBackground(const QString& question);

    DatabaseCreationForm form_;
    DatabaseDialogMode mode_;
    BackgroundCall call_;
    QString result_;
    QRadioButton* sqlite_ = nullptr;
    QRadioButton* postgres_ = nullptr;
    QLineEdit* file_ = nullptr;
    QPushButton* browse_ = nullptr;
    QLineEdit* host_ = nullptr;
    QLineEdit* port_ = nullptr;
    QLineEdit* user_ = nullptr;
    QLineEdit* password_ = nullptr;
    QLineEdit* name_ = nullptr;
    QPushButton* test_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QLabel* status_ = nullptr;
};

}  // namespace ui
