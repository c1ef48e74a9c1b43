#include "app/actions/template_expansion.h"

#include "platform/log.h"

namespace actions {

namespace {

const TemplateParam* MatchAt(QStringView rest, std::span<const TemplateParam> params) {
    for (const TemplateParam& param : params) {
        if (rest.size() >= param.placeholder.size() &&
            rest.first(param.placeholder.size()).compare(param.placeholder, Qt::CaseInsensitive) == 0)
            return &param;
    }
    return nullptr;
}

}  // namespace

void LogOutOfMemory() { WriteLog(QStringLiteral("Недостаточно памяти в системе")); }

std::optional<QString> ExpandTemplate(QStringView text, std::span<const TemplateParam> params) {
    return GuardedAgainstOutOfMemory([&] {
        QString result;
        result.reserve(text.size());
        qsizetype scan = 0;
        for (qsizetype percent = text.indexOf(u'%'); percent >= 0; percent = text.indexOf(u'%', scan)) {
            result += text.sliced(scan, percent - scan);
            if (const TemplateParam* param = MatchAt(text.sliced(percent), params)) {
                result += param->value;
                scan = percent + param->placeholder.size();
            } else {
                result += u'%';
                scan = percent + 1;
            }
        }
        result += text.sliced(scan);
        return result;
    });
}

}  // namespace actions
