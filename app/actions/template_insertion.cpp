#include "app/actions/template_insertion.h"

#include <algorithm>

namespace actions {

std::optional<TemplateInsertion> PlanInsertion(QStringView text, qsizetype caret, QStringView entry,
                                               qsizetype maxLength) {
    caret = std::clamp<qsizetype>(caret, 0, text.size());
    const bool typedPercent = caret > 0 && text[caret - 1] == u'%';
    TemplateInsertion insertion{typedPercent ? caret - 1 : caret, typedPercent ? 1 : 0, entry.toString()};
    if (text.size() - insertion.length + entry.size() > maxLength) return std::nullopt;
    return insertion;
}

QString ApplyInsertion(QStringView text, const TemplateInsertion& insertion) {
    QString result = text.toString();
    result.replace(insertion.start, insertion.length, insertion.text);
    return result;
}

}  // namespace actions
