#pragma once
// Purpose: the "Станция сети" dialog: one management station name or IP address.
// Threads: the user-interface thread.
// Owns: its child widgets (Qt parent ownership).

#include <QDialog>
#include <optional>

class QLineEdit;
class QPushButton;

namespace ui {

class StationDialog final : public QDialog {
public:
    StationDialog(const QString& entry, QWidget* parent);
    // The trimmed entry.
    QString Entry() const;

    // Runs the dialog; the trimmed entry on OK, nothing on cancel.
    static std::optional<QString> Ask(const QString& entry, QWidget* parent);

private:
    QLineEdit* edit_ = nullptr;
    QPushButton* ok_ = nullptr;
};

}  // namespace ui
