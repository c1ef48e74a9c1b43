#pragma once
// Purpose: the settings page "Камеры": the camera list with its four commands (buttons, keys and
//          context menu), the auto-start check box and the two IP camera time limits. Every change
//          goes to CamerasPageRules, which edits the sheet's copy.
// Threads: the user-interface thread only.
// Owns: its child widgets (through Qt's parent ownership) and the rules.

#include "app/ui/camera_wizard.h"
#include "app/ui/cameras_page_rules.h"

#include <QWidget>

class QLineEdit;
class QMenu;
class QPushButton;
class QTreeWidget;

namespace ui {

class CamerasPage final : public QWidget {
public:
    CamerasPage(settings::SettingsState& copy, CameraDialogServices services, QWidget* parent = nullptr);

    // The list row selected, -1 for none.
    int SelectedSlot() const;
    // Runs a list command on the selected row when its rule allows it; Edit opens the camera
    // dialog.
    void Run(CameraListCommand command);

private:
    void EditCamera(int slot);
    void FillList(int selectSlot);
    void RefreshCommands();
    void AddCommandKey(CameraListCommand command, const QKeySequence& key);

    settings::SettingsState& copy_;
    CamerasPageRules rules_;
    CameraDialogServices services_;
    QTreeWidget* list_ = nullptr;
    QMenu* menu_ = nullptr;
    QPushButton* buttons_[4] = {};
    QAction* menuActions_[4] = {};
};

}  // namespace ui
