#include "app/ui/tab_blink.h"

namespace ui {

void TabBlink::Arrived(RightTab tab, bool arrived) {
    // A first blinking tab starts dark, so the news shows at once; a second one joins the phase.
    if (arrived && tab != shown_ && !AnyBlinking()) lit_ = false;
    Unseen(tab) = arrived && tab != shown_;
}

void TabBlink::Show(RightTab tab) {
    shown_ = tab;
    Unseen(tab) = false;
}

}  // namespace ui
