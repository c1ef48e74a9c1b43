#pragma once
// The camera list as the settings sheet edits it, the texts that show a camera in the list, and
// the frame sizes offered for a web camera.

#include "settings/groups.h"

#include <QString>

namespace camera {

using settings::CameraDescriptor;
using settings::CameraList;

constexpr int32_t kWebCamera = 0;
constexpr int32_t kIpCamera = 1;

// A camera as a new list entry starts: a web camera chosen by device number 0, no size wish, no
// rotation, no mirroring.
CameraDescriptor NewCameraDescriptor();

// Edit or add is allowed on slots 0..Count (an existing camera or the first empty slot).
bool CanEditCamera(const CameraList& list, int slot);
// Stores a confirmed camera into the slot: InUse, type, name, the fields of its type, rotation
// and mirroring. A camera stored into the first empty slot increments the count.
bool StoreCamera(CameraList& list, int slot, const CameraDescriptor& camera);
// Removes the camera; those after it move up one slot and the last used slot is cleared.
bool DeleteCamera(CameraList& list, int slot);
// Swap with the neighbour; the result is the camera's new slot (the selection follows it), or
// -1 when the move is not allowed.
int MoveCameraUp(CameraList& list, int slot);
int MoveCameraDown(CameraList& list, int slot);

// Columns of the camera list: slot number, "Имя", "Параметры".
constexpr int kCameraListColumnWidths[3] = {53, 200, 460};
QString CameraListText(const CameraList& list, int slot, int column);
// Icon beside the slot number: kWebCamera, kIpCamera, or -1 for an empty slot.
int CameraListIcon(const CameraList& list, int slot);

struct FrameSizeChoice {
    const char16_t* text;
    int32_t width;
    int32_t height;
};
constexpr int kFrameSizeAuto = 0;
constexpr int kFrameSizeManual = 1;
constexpr int kFrameSizeChoiceCount = 19;
extern const FrameSizeChoice kFrameSizeChoices[kFrameSizeChoiceCount];
// Which choice shows a stored size: "Авто" when either side is not positive, the matching fixed
// size, else "Задается вручную".
int FrameSizeChoiceIndex(int32_t width, int32_t height);

}  // namespace camera
