#pragma once
// Purpose: the edit a template field makes when the operator picks an entry of its insertion
//          list: the "%" just typed before the caret gives way to the entry's text. The same
//          arithmetic serves single-line and multi-line fields.
// Threads: any.
// Owns: nothing.

#include <QString>
#include <QStringView>

#include <optional>

namespace actions {

// Replace `length` characters at `start` with `text`; the caret goes after the inserted text.
struct TemplateInsertion {
    qsizetype start = 0;
    qsizetype length = 0;
    QString text;

    qsizetype Caret() const { return start + text.size(); }
};

// The entry replaces the "%" right before the caret, or goes in at the caret when that "%" is
// gone. Nothing when the result would exceed maxLength: the field would cut its own tail.
std::optional<TemplateInsertion> PlanInsertion(QStringView text, qsizetype caret, QStringView entry,
                                               qsizetype maxLength);

QString ApplyInsertion(QStringView text, const TemplateInsertion& insertion);

}  // namespace actions
