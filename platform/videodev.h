#pragma once
// The machine's V4L2 video nodes: /dev/videoN in N order, with the name and a stable device path
// for each. The root of the device tree can be moved (OSTROVID_VIDEODEV_ROOT) so that tests can
// lay out a fake /dev and /sys.

#include <QString>
#include <vector>

namespace platform {

struct VideoNode {
    int number = -1;              // N of /dev/videoN, the index OpenCV opens
    bool propertiesRead = false;  // the node's name could be read
    bool capture = true;          // a video capture node (metadata and output nodes are not)
    QString friendlyName;         // VIDIOC_QUERYCAP card, else sysfs "name"
    QString devicePath;           // /dev/v4l/by-id link, else the sysfs bus path; may be empty
};

// $OSTROVID_VIDEODEV_ROOT or "" (the real root); paths below are appended to it.
QString VideoDeviceRoot();

// Every videoN of <root>/sys/class/video4linux in N order. False when the class folder cannot
// be read.
bool ListVideoNodes(std::vector<VideoNode>* nodes);

}  // namespace platform
