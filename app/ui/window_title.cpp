#include "app/ui/window_title.h"

#include "app/ui/splash_windows.h"

namespace ui {

Presentation PresentationFromEnvironment() {
    const QByteArray value = qgetenv("OSTROVID_DEMO");
    return value.isEmpty() || value == "0" ? Presentation::Real : Presentation::Demonstration;
}

QString MainWindowTitle(Presentation presentation) {
    if (presentation == Presentation::Real) return kProgramTitle;
    return kProgramTitle + QStringLiteral(" — демонстрация (выход из неё: ./run.sh --no-demo)");
}

}  // namespace ui
