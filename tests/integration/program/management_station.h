#pragma once
// Management stations for the tests of the whole program, written from the packet and document
// tables alone: the documents they send, what they received, and the settings that turn the
// server on.

#include "platform/registry.h"
#include "settings/registry_names.h"
#include "tests/integration/management_net/net_test_support.h"

#include <opencv2/imgcodecs.hpp>

#include <QDomDocument>
#include <QElapsedTimer>
#include <QTest>

#include <atomic>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace mgmt_test {

using namespace std::chrono_literals;

inline const QString kPassword = QStringLiteral("пароль-7");

inline QDomElement Root(const Packet& packet) {
    QDomDocument document;
    document.setContent(packet.Text());
    return document.documentElement();
}

inline QString Child(const QDomElement& element, const char* name) {
    return element.firstChildElement(QString::fromLatin1(name)).text();
}

inline cv::Mat DecodedImage(const QDomElement& image) {
    const QByteArray bytes = QByteArray::fromBase64(image.text().toLatin1());
    return cv::imdecode(std::vector<uchar>(bytes.begin(), bytes.end()), cv::IMREAD_UNCHANGED);
}

inline QString Subscription(const QString& password, const QString& eventMask, const QString& listMask, int format) {
    return QStringLiteral(
               "<SubscribeToEvents><Password>%1</Password><EventMask>%2</EventMask>"
               "<ListMask>%3</ListMask><PreferredImgFormat>%4</PreferredImgFormat></SubscribeToEvents>")
        .arg(password, eventMask, listMask)
        .arg(format);
}

inline QString CameraInfoRequest(const QString& password, int serviceType) {
    return QStringLiteral(
               "<Request><Password>%1</Password>"
               "<Type ServiceType='%2' PreferredImgFormat='0'>CameraInfo</Type></Request>")
        .arg(password)
        .arg(serviceType);
}

// A packet with the time it arrived, in ms since the station connected.
struct Received {
    Packet packet;
    qint64 at = 0;
};

// What a station keeps of what it reads: every packet, or (for long runs, whose memory is
// measured) the replies and only the types of the events, in order.
enum class Keep { Packets, EventTypes };

// A station that reads everything it is sent as it comes, on a thread of its own, like a real one.
class RecordingStation {
public:
    explicit RecordingStation(uint16_t port, Keep keep = Keep::Packets) : station_(port), keep_(keep) {
        clock_.start();
        if (station_.Connected()) reader_ = std::thread([this] { ReadAll(); });
    }
    ~RecordingStation() {
        stop_ = true;
        if (reader_.joinable()) reader_.join();
    }
    RecordingStation(const RecordingStation&) = delete;
    RecordingStation& operator=(const RecordingStation&) = delete;

    bool Connected() const { return station_.Connected(); }
    bool Send(uint32_t type, const QString& text) { return station_.Send(mgmt_test::TextPacket(type, text)); }
    qint64 Now() const { return clock_.elapsed(); }

    std::vector<Received> Packets() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return received_;
    }
    // The event types received, in order.
    QStringList EventTypes() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return eventTypes_;
    }
    std::vector<QDomElement> Events(int type) const {
        std::vector<QDomElement> events;
        for (const Received& r : Packets())
            if (r.packet.type == mgmt_test::kEvent && Child(Root(r.packet), "Type") == QString::number(type))
                events.push_back(Root(r.packet));
        return events;
    }
    // The first packet of `type` at or after index `from`, waiting for it with the program running.
    std::optional<Received> WaitFor(uint32_t type, size_t from = 0, int limitMs = 10000) const {
        std::optional<Received> found;
        // What was found tells whether the wait succeeded.
        static_cast<void>(QTest::qWaitFor(
            [&] {
                const std::vector<Received> packets = Packets();
                for (size_t i = from; i < packets.size(); ++i)
                    if (packets[i].packet.type == type) {
                        found = packets[i];
                        return true;
                    }
                return false;
            },
            limitMs));
        return found;
    }

private:
    void ReadAll() {
        while (!stop_) {
            std::optional<Packet> packet = station_.Read(50ms);
            if (!packet) {
                std::this_thread::sleep_for(10ms);  // also after the server closed the connection
                continue;
            }
            const QString eventType = packet->type == kEvent ? Child(Root(*packet), "Type") : QString();
            std::lock_guard<std::mutex> lock(mutex_);
            if (!eventType.isEmpty()) eventTypes_.append(eventType);
            if (keep_ == Keep::Packets || eventType.isEmpty())
                received_.push_back({std::move(*packet), clock_.elapsed()});
        }
    }

    Station station_;
    const Keep keep_;
    QElapsedTimer clock_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<Received> received_;
    QStringList eventTypes_;
    std::thread reader_;
};

// A free port below 32768: the settings take no higher one.
inline uint16_t FreeSettingsPort(int type) {
    for (uint16_t port = uint16_t(20000 + getpid() % 10000); port < 32768; ++port) {
        const int fd = socket(AF_INET, type | SOCK_CLOEXEC, 0);
        const sockaddr_in address = mgmt_test::Loopback(port);
        const bool free = bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        close(fd);
        if (free) return port;
    }
    return 0;
}

// The server thread opens its listener after the program's start: stations wait for this line.
inline QString ListeningLine(uint16_t port) {
    return QStringLiteral("TcpServerThreadFunc: TCP сокет ожидает соединения по порту: %1").arg(port);
}

// The server on at both ports, for any station.
inline void WriteManagementSettings(platform::RegistryStore& store, uint16_t tcpPort, uint16_t udpPort) {
    namespace rn = settings::regnames;
    store.SetDword(rn::kAppKey, rn::app::kAllowManagement, 1);
    store.SetDword(rn::kAppKey, rn::app::kTcpPort, tcpPort);
    store.SetDword(rn::kAppKey, rn::app::kAllowUdpLocation, 1);
    store.SetDword(rn::kAppKey, rn::app::kUdpPort, udpPort);
    store.SetString(rn::kAppKey, rn::app::kPassword, kPassword);
    store.SetDword(rn::kAppKey, rn::app::kAcceptConnectionFlag, 0);
}

}  // namespace mgmt_test
