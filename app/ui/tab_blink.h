#pragma once
// Purpose: the blinking of the right panel's two tabs without a display: a tab that gets
//          something new while the other page is shown blinks (its image on and off every
//          500 ms) until the user selects, clicks or focuses its page.
// Threads: the user-interface thread.
// Owns: the two unseen flags and the blink phase.

#include <chrono>

namespace ui {

enum class RightTab { Recognized = 0, Snapshots = 1 };

class TabBlink {
public:
    static constexpr std::chrono::milliseconds kPhase{500};

    explicit TabBlink(RightTab shown = RightTab::Recognized) : shown_(shown) {}

    // Something new arrived for the tab (true), or its blinking is to stop (false). A page
    // that is shown does not blink for what arrives on it.
    void Arrived(RightTab tab, bool arrived);
    // The page was selected: it is shown and stops blinking.
    void Show(RightTab tab);
    // The user clicked, typed into or focused the page.
    void Looked(RightTab tab) { Unseen(tab) = false; }
    // The 500 ms timer: flips the phase of every blinking tab.
    void Tick() { lit_ = !lit_; }

    RightTab Shown() const { return shown_; }
    bool Blinking(RightTab tab) const { return tab == RightTab::Recognized ? recognized_ : snapshots_; }
    // The timer needs to run only while a tab blinks.
    bool AnyBlinking() const { return recognized_ || snapshots_; }
    // Whether the tab shows its image now: always, except in the dark phase of its blinking.
    bool ImageShown(RightTab tab) const { return !Blinking(tab) || lit_; }

private:
    bool& Unseen(RightTab tab) { return tab == RightTab::Recognized ? recognized_ : snapshots_; }

    RightTab shown_;
    bool recognized_ = false;
    bool snapshots_ = false;
    bool lit_ = true;
};

}  // namespace ui
