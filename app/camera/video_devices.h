#pragma once
// Video input devices present on the machine, how a web camera's description is matched to
// one of them, and the list of device paths this process has open (one physical camera is
// never opened twice, by the running camera and a stream test).

#include "platform/sync.h"
#include "settings/groups.h"

#include <QString>
#include <vector>

namespace camera {

struct VideoInputDevice {
    int32_t number = -1;   // enumeration number; devices left out leave gaps
    QString friendlyName;  // up to 255 characters
    QString devicePath;    // up to 259 characters
};

// Fills the list with the capture devices, logging each step; false (and an empty list) when
// there are none or the devices cannot be enumerated.
bool EnumVideoInputDevices(std::vector<VideoInputDevice>* devices);

// Matches a web camera to a present device: by number, copying the device's path in; or, with
// number -1, by the first device whose path contains the stored path (letter case ignored),
// setting the number. False when no device matched.
bool ResolveWebCamera(settings::CameraDescriptor* camera);

// DeviceLock guards OpenDevicePaths and the opening and releasing of web cameras. Paths compare
// without regard to letter case.
platform::CriticalSection& DeviceLock();
bool AddOpenDevicePath(const QString& path);  // false when already there
bool FindOpenDevicePath(const QString& path);
void RemoveOpenDevicePath(const QString& path);
int OpenDevicePathCount();

}  // namespace camera
