#include "app/ui/database_page.h"

#include "app/ui/database_page_rules.h"
#include "platform/fixedtext.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

namespace ui {

namespace {

QLabel* Text(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

}  // namespace

DatabasePage::DatabasePage(settings::SettingsState& copy, QWidget* parent)
    : QWidget(parent), copy_(copy), stringInUse_(platform::FromFixed(copy.DbConnectionString)) {
    setObjectName(QStringLiteral("DatabasePage"));
    runDialog = [this](const QString& current, DatabaseDialogMode mode) -> std::optional<QString> {
        DatabaseCreationDialog dialog(current, mode, this);
        dialog.stringInUse = stringInUse_;
        if (dialog.exec() != QDialog::Accepted) return std::nullopt;
        return dialog.ConnectionString();
    };
    showNotice = [this](const QString& text, const QString& caption, database::NoticeIcon) {
        QMessageBox::information(this, caption, text);
    };

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Text(QStringLiteral("Если база данных еще не была создана, то ее необходимо создать."), this));
    auto* create = new QPushButton(QStringLiteral("Создать..."), this);
    create->setObjectName(QStringLiteral("create"));
    create->setIcon(style()->standardIcon(QStyle::SP_FileDialogNewFolder));
    create->setToolTip(QStringLiteral("новую базу данных"));
    layout->addWidget(create);
    layout->addWidget(
        Text(QStringLiteral("База данных может размещаться в файле SQLite или на сервере PostgreSQL."), this));
    layout->addWidget(Text(QStringLiteral("Строка соединения:"), this));
    edit_ = new QLineEdit(this);
    edit_->setObjectName(QStringLiteral("DbConnectionString"));
    edit_->setMaxLength(settings::kDbConnectionStringChars - 1);
    layout->addWidget(edit_);
    auto* change = new QPushButton(QStringLiteral("Изменить..."), this);
    change->setObjectName(QStringLiteral("change"));
    layout->addWidget(change);
    layout->addWidget(
        Text(QStringLiteral("* При изменении строки соединения модели персон будут перезагружены."), this));
    layout->addStretch();
    Show();

    QObject::connect(edit_, &QLineEdit::textEdited, this,
                     [this](const QString& shown) { Store(ConnectionStringFromDisplay(shown, Current())); });
    QObject::connect(create, &QPushButton::clicked, this, [this] {
        const auto created = runDialog(Current(), DatabaseDialogMode::Create);
        if (!created) return;
        Store(*created);
        Show();
        showNotice(kDatabaseCreatedText, kProgramCaption, database::NoticeIcon::Information);
    });
    QObject::connect(change, &QPushButton::clicked, this, [this] {
        const auto changed = runDialog(Current(), DatabaseDialogMode::Edit);
        if (!changed) return;
        Store(*changed);
        Show();
    });
}

QString DatabasePage::Current() const { return QString::fromUtf16(copy_.DbConnectionString); }

void DatabasePage::Store(const QString& connectionString) {
    auto& field = copy_.DbConnectionString;
    std::fill(std::begin(field), std::end(field), u'\0');
    const QString cut = connectionString.left(settings::kDbConnectionStringChars - 1);
    std::copy_n(reinterpret_cast<const char16_t*>(cut.utf16()), cut.size(), field);
}

void DatabasePage::Show() {
    // The cursor stays where the operator types; only a whole new string is shown afresh.
    edit_->setText(ConnectionStringForDisplay(Current()));
}

}  // namespace ui
