#include "service/tcp_closer.h"

#include "platform/ipc.h"
#include "platform/log.h"
#include "platform/syserror.h"
#include "platform/tcpreset.h"
#include "service/trusted_program.h"
#include "settings/channel_packet.h"

#include <arpa/inet.h>

#include <new>
#include <optional>
#include <vector>

namespace service {

namespace ch = settings::channel;

namespace {

constexpr qsizetype kMessageChars = 255;
constexpr qsizetype kTextChars = 1023;

void Log(const QString& text) { WriteLog(QStringLiteral("HandleCloseTcpSocketCommand(): ") + text.left(kTextChars)); }

bool Fail(const QString& text, QString* message) {
    Log(text);
    *message = text.left(kMessageChars);
    return false;
}

// The command itself; a bad_alloc leaves it.
bool CloseOwnConnection(const ch::ChannelArea& packet, CloseRequesters& requesters, QString* message) {
    const uint32_t pid = packet.U32(ch::close_tcp::kPid);
    uint32_t address = 0;  // network order, as the packet carries it
    packet.CopyOut(ch::close_tcp::kAddress, &address, sizeof address);
    const uint16_t port = packet.U16(ch::close_tcp::kPort);
    char dotted[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, dotted, sizeof dotted);

    // Anyone in the group may write the pid: only the kernel's word on who connected names the requester.
    CloseRequesters::Payload payload;
    packet.CopyOut(ch::close_tcp::kPid, payload.data(), payload.size());
    const std::optional<platform::PeerCredentials> requester = requesters.Take(pid, payload);
    if (!requester) {
        Log(QStringLiteral("Process %1 has not confirmed the request through %2.")
                .arg(pid)
                .arg(QString::fromStdString(platform::IpcObjectPath(ch::kCloseSocketName))));
        return Fail(platform::FormatSystemError(platform::kErrorAccessDenied), message);
    }

    // Resetting is root's power over every connection: only the program's own are lent to packets.
    // One view for both questions, so a pid reused meanwhile cannot lend its sockets.
    const platform::ProcessView process(static_cast<uint32_t>(requester->pid));
    if (!RunsTrustedProgram(process)) {
        Log(QStringLiteral("Процесс %1 не является программой %2.").arg(pid).arg(TrustedProgramPath()));
        return Fail(platform::FormatSystemError(platform::kErrorAccessDenied), message);
    }

    std::vector<platform::TcpConnectionRow> rows;
    if (const int rc = platform::ListTcpConnections(&rows); rc != 0)
        return Fail(QString::asprintf("GetExtendedTcpTable error %08x.", static_cast<unsigned>(rc)), message);

    Log(QStringLiteral("Поиск открытых TCP соединений %1:%2").arg(QLatin1String(dotted)).arg(port));
    // A socket is the requester's own when it holds it and its user made it: a socket another
    // account made and handed over stays that account's.
    const std::set<uint32_t> ownSockets = process.SocketInodes();
    for (const platform::TcpConnectionRow& row : rows) {
        if (row.state != platform::kTcpStateEstablished || row.remoteAddress != address || row.remotePort != port ||
            !ownSockets.count(row.inode) || row.uid != requester->uid)
            continue;
        Log(QStringLiteral("TCP соедениние обнаружено. Попытка закрытия..."));
        if (const int rc = platform::ResetTcpConnection(row); rc != 0)
            return Fail(QStringLiteral("Ошибка %1 закрытия TCP соедениния.").arg(rc), message);
        Log(QStringLiteral("Повисшее TCP соедениние закрыто. OK."));
        return true;
    }
    return Fail(QStringLiteral("Не найдено TCP соединение IP-камеры."), message);
}

}  // namespace

bool HandleCloseTcpSocketCommand(const ch::ChannelArea& packet, CloseRequesters& requesters, QString* message) {
    message->clear();
    try {
        return CloseOwnConnection(packet, requesters, message);
    } catch (const std::bad_alloc&) {
        // Failing again here leaves it to the packet's own memory failure reply.
        return Fail(kMemoryAllocationError.toString(), message);
    }
}

}  // namespace service
