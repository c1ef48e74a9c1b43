#include "app/ui/database_creation_dialog.h"

#include "app/database/db_schema.h"
#include "settings/settings_state.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <optional>

namespace ui {

namespace {

using database::DbProvider;
using database::NoticeIcon;

QLineEdit* Field(const QString& name, int maxLength, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setMaxLength(maxLength);
    return edit;
}

QPushButton* Button(const QString& text, const QString& name, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

void ShowMessageBox(QWidget* parent, const QString& text, const QString& caption, NoticeIcon icon) {
    const auto boxIcon = icon == NoticeIcon::Error     ? QMessageBox::Critical
                         : icon == NoticeIcon::Warning ? QMessageBox::Warning
                                                       : QMessageBox::Information;
    QMessageBox box(boxIcon, caption, text, QMessageBox::Ok, parent);
    box.exec();
}

}  // namespace

DatabaseCreationDialog::DatabaseCreationDialog(const QString& connectionString, DatabaseDialogMode mode,
                                               QWidget* parent)
    : QDialog(parent), form_(connectionString), mode_(mode) {
    setObjectName(QStringLiteral("DatabaseCreationDialog"));
    setWindowTitle(mode == DatabaseDialogMode::Create ? kCreationCaption : QStringLiteral("Задание строки соединения"));
    showNotice = [this](const QString& text, const QString& caption, NoticeIcon icon) {
        ShowMessageBox(this, text, caption, icon);
    };
    chooseFile = [this](const QString& current) {
        return QFileDialog::getSaveFileName(this, QStringLiteral("Файл базы данных"), current,
                                            QStringLiteral("SQLite (*.db)"));
    };
    askQuestion = [this](const QString& text, const QString& caption) {
        return QMessageBox::question(this, caption, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
               QMessageBox::Yes;
    };

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("1. Где разместить базу данных:"), this));
    sqlite_ = new QRadioButton(QStringLiteral("файл SQLite на этом компьютере:"), this);
    sqlite_->setObjectName(QStringLiteral("sqlite"));
    layout->addWidget(sqlite_);
    auto* fileRow = new QHBoxLayout;
    file_ = Field(QStringLiteral("file"), settings::kDbConnectionStringChars / 2, this);
    browse_ = Button(QStringLiteral("Обзор..."), QStringLiteral("browse"), this);
    fileRow->addWidget(file_);
    fileRow->addWidget(browse_);
    layout->addLayout(fileRow);

    postgres_ = new QRadioButton(QStringLiteral("сервер PostgreSQL:"), this);
    postgres_->setObjectName(QStringLiteral("postgresql"));
    layout->addWidget(postgres_);
    auto* server = new QFormLayout;
    host_ = Field(QStringLiteral("host"), kServerFieldChars, this);
    port_ = Field(QStringLiteral("port"), 5, this);
    port_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{0,5}")), port_));
    user_ = Field(QStringLiteral("user"), kCredentialFieldChars, this);
    password_ = Field(QStringLiteral("password"), kCredentialFieldChars, this);
    password_->setEchoMode(QLineEdit::Password);
    server->addRow(QStringLiteral("Имя или IP-адрес сервера:"), host_);
    server->addRow(QStringLiteral("Порт:"), port_);
    server->addRow(QStringLiteral("Пользователь:"), user_);
    server->addRow(QStringLiteral("Пароль:"), password_);
    layout->addLayout(server);
    test_ = Button(QStringLiteral("Проверить соединение"), QStringLiteral("testConnection"), this);
    layout->addWidget(test_);

    auto* nameRow = new QFormLayout;
    name_ = Field(QStringLiteral("databaseName"), kDatabaseNameChars, this);
    nameRow->addRow(QStringLiteral("2. Имя базы данных:"), name_);
    layout->addLayout(nameRow);

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("status"));
    layout->addWidget(status_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    ok_ = new QPushButton(mode == DatabaseDialogMode::Create ? QStringLiteral("Создать") : QStringLiteral("OK"), this);
    ok_->setObjectName(QStringLiteral("ok"));
    ok_->setDefault(true);
    cancel_ = Button(QStringLiteral("Отмена"), QStringLiteral("cancel"), this);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    layout->addLayout(buttons);

    ShowForm();
    UpdateEnabling();

    const auto edited = [this](QLineEdit* edit, QString DatabaseCreationForm::*field) {
        QObject::connect(edit, &QLineEdit::textEdited, this, [this, field](const QString& text) {
            form_.*field = text;
            UpdateEnabling();
        });
    };
    edited(file_, &DatabaseCreationForm::sqliteFile);
    edited(host_, &DatabaseCreationForm::host);
    edited(port_, &DatabaseCreationForm::portText);
    edited(user_, &DatabaseCreationForm::user);
    edited(password_, &DatabaseCreationForm::password);
    edited(name_, &DatabaseCreationForm::databaseName);
    QObject::connect(sqlite_, &QRadioButton::toggled, this, [this](bool on) {
        form_.provider = on ? DbProvider::SQLite : DbProvider::PostgreSQL;
        UpdateEnabling();
    });
    QObject::connect(browse_, &QPushButton::clicked, this, [this] {
        const QString file = chooseFile(form_.sqliteFile);
        if (file.isEmpty()) return;
        form_.sqliteFile = QDir::toNativeSeparators(file);
        file_->setText(form_.sqliteFile);
        UpdateEnabling();
    });
    QObject::connect(test_, &QPushButton::clicked, this, [this] { TestConnection(); });
    QObject::connect(ok_, &QPushButton::clicked, this, [this] { Finish(); });
    QObject::connect(cancel_, &QPushButton::clicked, this, [this] { reject(); });
}

void DatabaseCreationDialog::ShowForm() {
    (form_.provider == DbProvider::SQLite ? sqlite_ : postgres_)->setChecked(true);
    file_->setText(form_.sqliteFile);
    host_->setText(form_.host);
    port_->setText(form_.portText);
    user_->setText(form_.user);
    password_->setText(form_.password);
    name_->setText(form_.databaseName);
}

void DatabaseCreationDialog::UpdateEnabling() {
    const bool idle = !call_.Running();
    const bool sqlite = form_.provider == DbProvider::SQLite;
    sqlite_->setEnabled(idle);
    postgres_->setEnabled(idle);
    file_->setEnabled(idle && sqlite);
    browse_->setEnabled(idle && sqlite);
    for (QLineEdit* edit : {host_, port_, user_, password_, name_}) edit->setEnabled(idle && !sqlite);
    test_->setEnabled(idle && form_.CanTest());
    ok_->setEnabled(idle && form_.CanCreate());
    cancel_->setEnabled(idle);
}

void DatabaseCreationDialog::SetBusy(bool busy) {
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        status_->setText(QStringLiteral("Соединение с сервером..."));
    } else {
        QApplication::restoreOverrideCursor();
        status_->clear();
    }
    UpdateEnabling();
}

void DatabaseCreationDialog::reject() {
    // The background call uses the form; the dialog stays until it ends.
    if (!call_.Running()) QDialog::reject();
}

void DatabaseCreationDialog::TestConnection() {
    if (const QString problem = form_.Problem(); !problem.isEmpty()) {
        showNotice(problem, kConnectionTestCaption, NoticeIcon::Error);
        return;
    }
    const QString server = form_.ServerLevelString();
    call_.Start<std::optional<QString>>(
        this, [server] { return database::TestServerConnection(server); },
        [this](std::optional<QString> error) {
            SetBusy(false);
            if (error) {
                showNotice(*error, kConnectionTestCaption, NoticeIcon::Error);
            } else {
                showNotice(kConnectionTestPassedText, kConnectionTestCaption, NoticeIcon::Information);
            }
        });
    SetBusy(true);
}

void DatabaseCreationDialog::Finish() {
    if (!form_.CanCreate()) return;
    if (const QString problem = form_.Problem(); !problem.isEmpty()) {
        showNotice(problem, windowTitle(), NoticeIcon::Error);
        return;
    }
    if (mode_ == DatabaseDialogMode::Edit) {
        result_ = form_.ConnectionString();
        accept();
        return;
    }
    const QString server = form_.ServerLevelString();
    const QString name = form_.TargetName();
    const bool inUse = SameDatabase(form_.ConnectionString(), stringInUse);
    // Runs on the creating thread, which waits while the operator is asked.
    database::ConfirmReplaceDatabase confirm = [this, inUse](const database::ExistingDatabase& existing) {
        return ConfirmReplace({existing.name, inUse, existing.otherSessions},
                              [this](const QString& question) { return AskFromBackground(question); });
    };
    call_.Start<database::CreateDatabaseResult>(
        this, [server, name, confirm] { return database::CreateDatabase(server, name, confirm); },
        [this](database::CreateDatabaseResult created) {
            SetBusy(false);
            switch (created.status) {
            case database::CreateDatabaseResult::Created:
                result_ = created.connectionString;
                accept();
                return;
            case database::CreateDatabaseResult::ConnectFailed:
                showNotice(created.error, kServerConnectCaption, NoticeIcon::Error);
                return;
            case database::CreateDatabaseResult::CreateFailed:
                showNotice(created.error, kCreationCaption, NoticeIcon::Error);
                return;
            case database::CreateDatabaseResult::Declined:
                // The operator kept the database; the dialog stays for another name.
                return;
            }
        });
    SetBusy(true);
}

bool DatabaseCreationDialog::AskFromBackground(const QString& question) {
    bool yes = false;
    // The dialog outlives the call: it cannot close while the call runs.
    QMetaObject::invokeMethod(
        this,
        [this, &question, &yes] {
            QApplication::restoreOverrideCursor();
            yes = askQuestion(question, kCreationCaption);
            QApplication::setOverrideCursor(Qt::WaitCursor);
        },
        Qt::BlockingQueuedConnection);
    return yes;
}

}  // namespace ui
