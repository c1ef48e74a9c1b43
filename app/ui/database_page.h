#pragma once
// Purpose: the "База данных" settings page: the connection string (its password masked), the
//          creation of a new database and the editing of the string field by field.
// Threads: the user-interface thread.
// Owns: its child widgets (Qt parent ownership).

#include "app/ui/database_creation_dialog.h"
#include "settings/settings_state.h"

#include <QWidget>
#include <functional>
#include <optional>

class QLineEdit;

namespace ui {

class DatabasePage final : public QWidget {
public:
    // The string `copy` holds when the page is made is taken for the one the program works with.
    DatabasePage(settings::SettingsState& copy, QWidget* parent);

    // Runs the creation dialog (or the editing one) on the given string; the new string on OK.
    // Replaced by tests.
    std::function<std::optional<QString>(const QString& current, DatabaseDialogMode mode)> runDialog;
    std::function<void(const QString& text, const QString& caption, database::NoticeIcon icon)> showNotice;

private:
    QString Current() const;
    void Store(const QString& connectionString);
    void Show();

    settings::SettingsState& copy_;
    const QString stringInUse_;
    QLineEdit* edit_ = nullptr;
};

}  // namespace ui
