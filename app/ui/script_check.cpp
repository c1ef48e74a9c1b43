#include "app/ui/script_check.h"

namespace ui {

namespace {

// A runner that floods its output must not make a box taller than the screen.
constexpr qsizetype kNoticeChars = 2000;

QString Shortened(QString text) {
    text = text.trimmed();
    if (text.size() > kNoticeChars) text = text.left(kNoticeChars) + QStringLiteral("…");
    return text;
}

}  // namespace

PageNotice ScriptCheckNotice(const ScriptCheckRun& run) {
    switch (run.end) {
    case ScriptCheckEnd::NotStarted:
        return {NoticeKind::Error, QStringLiteral("Ошибка запуска приложения Velox.exe: ") + Shortened(run.startError)};
    case ScriptCheckEnd::Crashed:
        return {NoticeKind::Error, QStringLiteral("Процесс Velox.exe, проверявший скрипт, завершился аварийно.")};
    case ScriptCheckEnd::Exited:
        break;
    }
    const QString output = Shortened(run.output);
    if (run.exitCode == 0)
        return {NoticeKind::Information, output.isEmpty() ? QStringLiteral("Ошибок в скрипте не найдено.") : output};
    QString said = Shortened(run.errors);
    if (said.isEmpty()) said = output;
    if (said.isEmpty())
        said = QStringLiteral("Процесс Velox.exe завершил проверку скрипта с кодом %1.").arg(run.exitCode);
    return {NoticeKind::Error, said};
}

}  // namespace ui
