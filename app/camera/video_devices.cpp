#include "app/camera/video_devices.h"

#include "platform/fixedtext.h"
#include "platform/log.h"
#include "platform/videodev.h"

#include <algorithm>
#include <new>

namespace camera {

namespace {

constexpr int kFriendlyNameChars = 255;
constexpr int kDevicePathChars = 259;

std::vector<QString>& OpenDevicePaths() {
    static std::vector<QString> paths;
    return paths;
}

auto FindPath(const QString& path) {
    auto& paths = OpenDevicePaths();
    return std::find_if(paths.begin(), paths.end(),
                        [&](const QString& open) { return open.compare(path, Qt::CaseInsensitive) == 0; });
}

}  // namespace

bool EnumVideoInputDevices(std::vector<VideoInputDevice>* devices) {
    devices->clear();
    WriteLog(QStringLiteral("Getting Video Input Device List..."));
    std::vector<platform::VideoNode> nodes;
    if (!platform::ListVideoNodes(&nodes) || nodes.empty()) {
        WriteLog(QStringLiteral("GetCamList: EnumerateDevices return FAILED code."));
        return false;
    }
    WriteLog(QStringLiteral("EnumVideoInputDeviceToList() enter."));
    for (const platform::VideoNode& node : nodes) {
        WriteLog(QString::asprintf("EnumVideoInputDeviceToList(): Examine device %d...", node.number));
        if (!node.propertiesRead) {
            WriteLog(QString::asprintf(
                "EnumVideoInputDeviceToList(): Can't bind to Properties Storage for device %d. Continue...",
                node.number));
            continue;
        }
        // Metadata and output nodes are not video inputs, but keep their numbers: the number is
        // the index the capture library opens.
        if (!node.capture) {
            continue;
        }
        VideoInputDevice device;
        device.number = node.number;
        device.friendlyName = node.friendlyName.left(kFriendlyNameChars);
        device.devicePath = node.devicePath.left(kDevicePathChars);
        if (device.friendlyName.isEmpty() || device.devicePath.isEmpty()) {
            continue;
        }
        WriteLog(QStringLiteral("EnumVideoInputDeviceToList(): Adding device %1 to list. FriendlyName='%2' "
                                "FullDevicePath='%3'")
                     .arg(device.number)
                     .arg(device.friendlyName, device.devicePath));
        try {
            devices->push_back(std::move(device));
        } catch (const std::bad_alloc&) {
            // The devices listed so far stay usable; this one is left out like an unreadable one.
            WriteLog(QStringLiteral("EnumVideoInputDeviceToList(): Memory Allocation Error."));
        }
    }
    WriteLog(QStringLiteral("EnumVideoInputDeviceToList() exit."));
    return true;
}

bool ResolveWebCamera(settings::CameraDescriptor* camera) {
    std::vector<VideoInputDevice> devices;
    EnumVideoInputDevices(&devices);
    auto& web = camera->Source.Web;
    if (web.CaptureDeviceNumber == -1) {
        const QString wanted = platform::FromFixed(web.DevicePath);
        for (const VideoInputDevice& device : devices) {
            if (device.devicePath.contains(wanted, Qt::CaseInsensitive)) {
                web.CaptureDeviceNumber = device.number;
                return true;
            }
        }
        return false;
    }
    for (const VideoInputDevice& device : devices) {
        if (device.number == web.CaptureDeviceNumber) {
            platform::CopyToFixed(web.DevicePath, device.devicePath);
            return true;
        }
    }
    return false;
}

platform::CriticalSection& DeviceLock() {
    static platform::CriticalSection lock;
    return lock;
}

bool AddOpenDevicePath(const QString& path) {
    if (FindPath(path) != OpenDevicePaths().end()) {
        return false;
    }
    OpenDevicePaths().push_back(path.left(kDevicePathChars));
    return true;
}

bool FindOpenDevicePath(const QString& path) { return FindPath(path) != OpenDevicePaths().end(); }

void RemoveOpenDevicePath(const QString& path) {
    const auto found = FindPath(path);
    if (found != OpenDevicePaths().end()) {
        OpenDevicePaths().erase(found);
    }
}

int OpenDevicePathCount() { return int(OpenDevicePaths().size()); }

}  // namespace camera
