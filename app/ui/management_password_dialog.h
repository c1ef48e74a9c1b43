#pragma once
// Purpose: the management password dialog: the password typed twice, hidden as it is typed.
// Threads: the user-interface thread.
// Owns: its child widgets (Qt parent ownership).

#include <QDialog>
#include <chrono>
#include <optional>

class QLabel;
class QLineEdit;
class QTimer;

namespace ui {

class ManagementPasswordDialog final : public QDialog {
public:
    explicit ManagementPasswordDialog(QWidget* parent);
    QString Password() const;

    // How long the mismatch notice stays.
    static constexpr std::chrono::milliseconds kMismatchShown{4000};

    // Runs the dialog; the new password on OK, nothing on cancel.
    static std::optional<QString> Ask(QWidget* parent);

private:
    void TryAccept();

    QLineEdit* first_ = nullptr;
    QLineEdit* second_ = nullptr;
    QLabel* notice_ = nullptr;
    QTimer* noticeTimer_ = nullptr;
};

}  // namespace ui
