#pragma once
// Purpose: "Параметры отправляемого письма": recipients, subject and body of an alert's mail on a
//          copy; OK only with a subject and a body. The rules are MailParametersRules'.
// Threads: the user-interface thread only.
// Owns: its child widgets and the rules with the copy.

#include "app/ui/actions_page_rules.h"

#include <QDialog>

#include <optional>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace ui {

class MailParametersDialog final : public QDialog {
public:
    MailParametersDialog(actions::TemplateFamily family, const MailParameters& parameters, QWidget* parent = nullptr);
    const MailParameters& Parameters() const { return rules_.Parameters(); }

private:
    void ShowParameters();

    MailParametersRules rules_;
    QLineEdit* recipients_ = nullptr;
    QLineEdit* subject_ = nullptr;
    QPlainTextEdit* body_ = nullptr;
    QPushButton* ok_ = nullptr;
};

// The edited texts on OK; nothing when cancelled.
std::optional<MailParameters> EditMailParameters(QWidget* owner, actions::TemplateFamily family,
                                                 const MailParameters& parameters);

}  // namespace ui
