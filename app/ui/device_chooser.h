#pragma once
// Purpose: the device chooser "Выберите камеру в списке": the present video input devices, the
//          current one preselected; "OK" only with a row selected.
// Threads: the user-interface thread only.
// Owns: its child widgets (through Qt's parent ownership).

#include "app/camera/video_devices.h"

#include <QDialog>

#include <vector>

class QPushButton;
class QTreeWidget;

namespace ui {

class DeviceChooser final : public QDialog {
public:
    // currentRow: the row to preselect, -1 for none.
    DeviceChooser(const std::vector<camera::VideoInputDevice>& devices, int currentRow, QWidget* parent = nullptr);

    // The selected row, -1 for none.
    int ChosenRow() const;

private:
    QTreeWidget* list_ = nullptr;
    QPushButton* ok_ = nullptr;
};

}  // namespace ui
