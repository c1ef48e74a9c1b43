#pragma once
// Purpose: one face taken from the live picture: its chip, the thumbnail drawn for it, its
//          descriptor, and the marks the page puts on it.
// Threads: made on the describing thread, then handed whole to the user-interface thread.
// Owns: the chip and the thumbnail.

#include "app/recognition/face_descriptor.h"

#include <QImage>
#include <opencv2/core/mat.hpp>

namespace snapshots {

struct SnapshotRecord {
    cv::Mat chip;      // 150x150, the capture's byte order
    QImage thumbnail;  // the chip as read back from its JPEG file
    recognition::FaceDescriptor descriptor;
    bool selected = false;
    int cluster = 0;  // 0: none
};

}  // namespace snapshots
