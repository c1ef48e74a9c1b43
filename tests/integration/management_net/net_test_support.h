#pragma once
// Helpers of the management network tests: a journal sink that records entries, the diagnostic
// log in a temporary folder, a client station that speaks the packet framing over a real socket,
// and waiting for a condition with a deadline.

#include "app/shell/journal.h"
#include "platform/log.h"
#include "tests/support/log_lines.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QtEndian>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace mgmt_test {

using namespace std::chrono_literals;

// Polls the condition every 10 ms until it holds or the time is up.
inline bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 5s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(10ms);
    }
}

struct SeenEntry {
    shell::EntryIcon icon;
    QString description;
    std::chrono::steady_clock::time_point at;
};

class RecordingSink : public shell::JournalSink {
public:
    const shell::Journal& Journal() const { return journal_; }

    bool Deliver(shell::JournalTab tab, std::unique_ptr<shell::JournalEntry> entry) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (tab == shell::JournalTab::Notifications)
            entries_.push_back({entry->icon, entry->description, std::chrono::steady_clock::now()});
        return true;
    }

    std::vector<SeenEntry> Entries(const QString& description) const {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<SeenEntry> found;
        for (const auto& e : entries_) {
            if (e.description == description) found.push_back(e);
        }
        return found;
    }
    int Count(const QString& description) const { return int(Entries(description).size()); }
    bool WaitFor(const QString& description, int count = 1, std::chrono::milliseconds timeout = 5s) const {
        return WaitUntil([&] { return Count(description) >= count; }, timeout);
    }

private:
    mutable std::mutex mutex_;
    std::vector<SeenEntry> entries_;
    shell::Journal journal_{this};
};

// Points the diagnostic log at a temporary folder for the test's lifetime.
class TempLog {
public:
    TempLog() { platform::SetLogFile(dir_.filePath("Ostrovid.log"), dir_.filePath("Ostrovid1.log")); }
    ~TempLog() { platform::SetLogFile(QString(), QString()); }

    QStringList Lines() const { return testsupport::LogLines(dir_.filePath("Ostrovid.log")); }
    int Count(const QString& line) const { return testsupport::CountLines(Lines(), line); }
    bool WaitFor(const QString& line, int count = 1, std::chrono::milliseconds timeout = 5s) const {
        return WaitUntil([&] { return Count(line) >= count; }, timeout);
    }

private:
    QTemporaryDir dir_;
};

// A port nobody listens on right now (bound to be found, then released).
inline uint16_t FreePort(int type) {
    const int fd = socket(AF_INET, type | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    socklen_t length = sizeof address;
    uint16_t port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    close(fd);
    return port;
}

inline sockaddr_in Loopback(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

// The 8-byte header (type, data length), little endian.
inline QByteArray Header(uint32_t type, uint32_t length) {
    QByteArray header(8, '\0');
    qToLittleEndian<uint32_t>(type, header.data());
    qToLittleEndian<uint32_t>(length, header.data() + 4);
    return header;
}

// A client packet as the server's own: the text as UTF-16LE and a NUL.
inline QByteArray TextPacket(uint32_t type, const QString& text) {
    QByteArray data(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    data.append(2, '\0');
    return Header(type, uint32_t(data.size())) + data;
}

struct Packet {
    uint32_t type = 0;
    QByteArray data;
    // The text without its NUL.
    QString Text() const {
        QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(data.constData()), data.size() / 2);
        if (text.endsWith(QChar(0))) text.chop(1);
        return text;
    }
};

constexpr uint32_t kRequest = 0x00010001;
constexpr uint32_t kSubscribe = 0x00010002;
constexpr uint32_t kReply = 0x00020001;
constexpr uint32_t kSubscribeReply = 0x00020002;
constexpr uint32_t kEvent = 0x00020003;

// A management station on loopback.
class Station {
public:
    // receiveBuffer > 0 shrinks the socket's receive buffer before it connects; `from` is the
    // loopback address it connects from.
    explicit Station(uint16_t port, int receiveBuffer = 0, const char* from = "127.0.0.1")
        : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        if (receiveBuffer > 0) setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        sockaddr_in source{};
        source.sin_family = AF_INET;
        inet_pton(AF_INET, from, &source.sin_addr);
        if (bind(fd_, reinterpret_cast<const sockaddr*>(&source), sizeof source) != 0) connectError_ = errno;
        const int on = 1;
        setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        const sockaddr_in address = Loopback(port);
        if (connectError_ == 0 && connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
            connectError_ = errno;
    }
    ~Station() { Close(); }
    Station(const Station&) = delete;
    Station& operator=(const Station&) = delete;

    bool Connected() const { return connectError_ == 0; }
    int ConnectError() const { return connectError_; }
    void Close() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }

    bool Send(const QByteArray& bytes) {
        qsizetype sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = send(fd_, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
            if (n <= 0) return false;
            sent += n;
        }
        return true;
    }

    // One whole packet, or nothing when the time is up or the connection ended first.
    std::optional<Packet> Read(std::chrono::milliseconds timeout = 5s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            if (buffer_.size() >= 8) {
                const uint32_t length = qFromLittleEndian<uint32_t>(buffer_.constData() + 4);
                if (buffer_.size() >= qsizetype(8 + length)) {
                    Packet packet{qFromLittleEndian<uint32_t>(buffer_.constData()), buffer_.mid(8, length)};
                    buffer_.remove(0, 8 + length);
                    return packet;
                }
            }
            if (ReadSome(deadline) <= 0) return std::nullopt;
        }
    }

    // True when the server ended the connection (end of stream or reset) within the time.
    bool WaitClosed(std::chrono::milliseconds timeout = 5s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            const int n = ReadSome(deadline);
            if (n == 0) return true;
            if (n < 0) return errno != ETIMEDOUT;
        }
    }

private:
    // Bytes read, 0 at end of stream, -1 on error (errno ETIMEDOUT when the time was up).
    int ReadSome(std::chrono::steady_clock::time_point deadline) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd p{fd_, POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, int(left.count())) <= 0) {
            errno = ETIMEDOUT;
            return -1;
        }
        char chunk[65536];
        const ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
        if (n > 0) buffer_.append(chunk, n);
        return int(n);
    }

    int fd_;
    int connectError_ = 0;
    QByteArray buffer_;
};

}  // namespace mgmt_test
