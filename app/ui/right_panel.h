#pragma once
// Purpose: the right panel of the main frame: a tab control with the "Распознаны" page and the
//          "Снимки" page, whose tabs blink while something new on a page not shown is unseen.
//          The blinking is decided by TabBlink; any mouse, key or focus input into a page stops
//          its tab's blinking, whatever widgets the page is made of.
// Threads: the user-interface thread only.
// Owns: its child widgets (Qt parent ownership), the snapshot page included once given.

#include "app/recognition/recognized_list.h"
#include "app/recognition/remembered_persons.h"
#include "app/ui/tab_blink.h"
#include "settings/settings_hub.h"

#include <QIcon>
#include <QTimer>
#include <QWidget>

class QTabWidget;

namespace ui {

class RecognizedPage;

class RightPanel final : public QWidget {
public:
    // snapshotPage becomes the second page (and a child of the panel). The hub, for the recognized
    // page, must outlive the panel.
    RightPanel(recognition::RecognizedPersonsList& list, recognition::RememberedPersons& remembered,
               const settings::SettingsHub& hub, QWidget* snapshotPage, QWidget* parent = nullptr);

    // A new recognized entry arrived (true: blink unless its page is shown), or the blinking
    // of the tab is to stop (false).
    void RecognizedArrived(bool arrived);
    // The same for new snapshots.
    void SnapshotsArrived(bool arrived);
    void ShowPage(RightTab tab);

    RecognizedPage* Recognized() const { return recognized_; }
    QWidget* Snapshots() const { return snapshots_; }
    QTabWidget* Tabs() const { return tabs_; }
    const TabBlink& Blink() const { return blink_; }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void Arrived(RightTab tab, bool arrived);
    void WatchInput(QWidget* widget);
    void ShowBlink();

    RecognizedPage* recognized_;
    QWidget* snapshots_;
    QTabWidget* tabs_;
    TabBlink blink_;
    QTimer blinkTimer_;
    QIcon noImage_;
};

}  // namespace ui
