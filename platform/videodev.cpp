#include "platform/videodev.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>

namespace platform {

namespace {

QString ReadLine(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(file.readLine()).trimmed();
}

// Asks the driver itself; false when the node is no character device or does not answer (the
// fake trees of the tests, a node that vanished).
bool QueryCapabilities(const QString& node, QString* card, bool* capture) {
    const QByteArray path = QFile::encodeName(node);
    struct stat info {};
    if (stat(path.constData(), &info) != 0 || !S_ISCHR(info.st_mode)) {
        return false;
    }
    const int fd = ::open(path.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    v4l2_capability caps{};
    const bool ok = ioctl(fd, VIDIOC_QUERYCAP, &caps) == 0;
    ::close(fd);
    if (!ok) {
        return false;
    }
    const uint32_t deviceCaps = (caps.capabilities & V4L2_CAP_DEVICE_CAPS) ? caps.device_caps : caps.capabilities;
    *capture = (deviceCaps & (V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_VIDEO_CAPTURE_MPLANE)) != 0;
    *card = QString::fromUtf8(reinterpret_cast<const char*>(caps.card),
                              int(strnlen(reinterpret_cast<const char*>(caps.card), sizeof caps.card)));
    return true;
}

// The /dev/v4l/by-id link that points at the node: it names the device by maker, model and
// serial, so it survives re-plugging into another port.
QString ByIdPath(const QString& root, const QString& nodeName) {
    const QDir byId(root + "/dev/v4l/by-id");
    const QStringList links = byId.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& link : links) {
        const QFileInfo info(byId.filePath(link));
        if (info.isSymLink() && QFileInfo(info.symLinkTarget()).fileName() == nodeName) {
            return "/dev/v4l/by-id/" + link;
        }
    }
    return {};
}

// Where the node's device sits on its bus, without the moved root.
QString BusPath(const QString& root, const QString& nodeName) {
    const QFileInfo link(root + "/sys/class/video4linux/" + nodeName + "/device");
    if (!link.exists()) {
        return {};
    }
    QString target = link.canonicalFilePath();
    if (!root.isEmpty()) {
        const QString canonicalRoot = QFileInfo(root).canonicalFilePath();
        if (target.startsWith(canonicalRoot + "/")) {
            target = target.mid(canonicalRoot.size());
        }
    }
    return target;
}

}  // namespace

QString VideoDeviceRoot() {
    QString root = qEnvironmentVariable("OSTROVID_VIDEODEV_ROOT");
    while (root.endsWith('/')) {
        root.chop(1);
    }
    return root;
}

bool ListVideoNodes(std::vector<VideoNode>* nodes) {
    nodes->clear();
    const QString root = VideoDeviceRoot();
    const QDir classDir(root + "/sys/class/video4linux");
    if (!classDir.exists()) {
        return false;
    }
    static const QRegularExpression kNodeName(QStringLiteral("^video(\\d+)$"));
    for (const QString& name : classDir.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        const auto match = kNodeName.match(name);
        if (!match.hasMatch()) {
            continue;
        }
        VideoNode node;
        node.number = match.captured(1).toInt();
        QString card;
        bool capture = true;
        if (QueryCapabilities(root + "/dev/" + name, &card, &capture)) {
            node.friendlyName = card;
            node.capture = capture;
        } else {
            node.friendlyName = ReadLine(classDir.filePath(name + "/name"));
        }
        node.propertiesRead = !node.friendlyName.isEmpty();
        node.devicePath = ByIdPath(root, name);
        if (node.devicePath.isEmpty()) {
            node.devicePath = BusPath(root, name);
        }
        nodes->push_back(std::move(node));
    }
    std::sort(nodes->begin(), nodes->end(), [](const VideoNode& a, const VideoNode& b) { return a.number < b.number; });
    return true;
}

}  // namespace platform
