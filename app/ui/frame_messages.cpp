#include "app/ui/frame_messages.h"

#include <QCoreApplication>

namespace ui {

bool PostFrameMessage(QObject* receiver, int message, uintptr_t wParam, intptr_t lParam) {
    if (receiver == nullptr || QCoreApplication::instance() == nullptr) return false;
    QCoreApplication::postEvent(receiver, new FrameMessageEvent(message, wParam, lParam));
    return true;
}

}  // namespace ui
