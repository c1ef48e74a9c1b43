#include "service/app_comm.h"

#include "platform/log.h"
#include "platform/syserror.h"
#include "service/damaged_store.h"
#include "service/registry_writers.h"
#include "service/tcp_closer.h"
#include "settings/channel_packet.h"
#include "settings/log_masking.h"
#include "settings/registry_names.h"

#include <arpa/inet.h>

#include <functional>
#include <new>
#include <thread>
#include <vector>

namespace service {

namespace ch = settings::channel;
namespace rn = settings::regnames;
using ch::ChannelArea;
using ch::PacketType;

namespace {

constexpr qsizetype kLogTextChars = 2047;

using StoreWriter = std::function<int(platform::RegistryStore&, const ChannelArea&)>;

// How one packet type is logged and stored.
struct PacketHandler {
    std::function<QString(const ChannelArea&)> receipt;
    const char* writerName;
    StoreWriter write;  // empty for the autostart packet, which does not touch the store
};

QString Received(const char* rest) { return QStringLiteral("HandleApp2SvcPacket: ") + QLatin1String(rest); }

QString Int(const ChannelArea& p, size_t offset) { return QString::number(p.I32(offset)); }

QString Proportion(const ChannelArea& p) { return QString::asprintf("%.3f", p.F64(ch::kSingleValue)); }

StoreWriter DivProportion(const QString& name) {
    return [name](platform::RegistryStore& s, const ChannelArea& p) { return SaveDivProportionToRegistry(s, p, name); };
}

const PacketHandler* FindHandler(uint32_t type) {
    namespace f = ch;
    static const std::vector<std::pair<PacketType, PacketHandler>> handlers = {
        {PacketType::AutoRunSettings,
         {[](const ChannelArea& p) {
              return Received("AutoRunSettings Packet received. AutoRun=%1, Path=%2")
                  .arg(Int(p, f::autorun::kFlag), p.Text(f::autorun::kPath, f::autorun::kPathChars));
          },
          "SaveAutoRunToRegistry",
          {}}},
        {PacketType::CameraList,
         {[](const ChannelArea& p) {
              return Received("CameraList Packet received. CameraCount=%1").arg(Int(p, f::camera_list::kCount));
          },
          "SaveCameraListToRegistry", SaveCameraListToRegistry}},
        {PacketType::CamerasExtParam,
         {[](const ChannelArea& p) {
              namespace e = f::cameras_ext;
              return Received(
                         "CamerasExtParam Packet received. AutoStartLastCamera=%1, WaitConnectionTime=%2, "
                         "WaitNewFrameTime=%3")
                  .arg(Int(p, e::kAutoStartLastCamera), Int(p, e::kWaitConnectionTime), Int(p, e::kWaitNewFrameTime));
          },
          "SaveCamerasExtParamToRegistry", SaveCamerasExtParamToRegistry}},
        {PacketType::AppWinowMaximizedState,
         {[](const ChannelArea& p) {
              return Received("AppWinowMaximizedState Packet received. Maximized=%1").arg(Int(p, f::kSingleValue));
          },
          "SaveMaximizedToRegistry", SaveMaximizedToRegistry}},
        {PacketType::AppWinowRect,
         {[](const ChannelArea& p) {
              namespace w = f::window_rect;
              return Received("AppWinowRect Packet received. X=%1, Y=%2, W=%3, H=%4")
                  .arg(Int(p, w::kX), Int(p, w::kY), Int(p, w::kWidth), Int(p, w::kHeight));
          },
          "SaveWindowRectToRegistry", SaveWindowRectToRegistry}},
        {PacketType::PanelDivProportion,
         {[](const ChannelArea& p) {
              return Received("PanelDivProportion Packet received. Proportion=%1").arg(Proportion(p));
          },
          "SaveDivProportionToRegistry", DivProportion(rn::app::kPanelDivProportion)}},
        {PacketType::LeftPanelDivProportion,
         {[](const ChannelArea& p) {
              return Received("LeftPanelDivProportion Packet received. Proportion=%1").arg(Proportion(p));
          },
          "SaveDivProportionToRegistry", DivProportion(rn::app::kLeftPanelDivProportion)}},
        {PacketType::CurrentCameraIndex,
         {[](const ChannelArea& p) {
              return Received("CurrentCameraIndex Packet received. Index=%1").arg(Int(p, f::kSingleValue));
          },
          "SaveCurrentCameraIndexToRegistry", SaveCurrentCameraIndexToRegistry}},
        {PacketType::DbConnectionString,
         {[](const ChannelArea& p) {
              return Received("DbConnectionString Packet received: %1")
                  .arg(settings::ConnectionStringForLog(p.Text(f::db_connection::kText, f::db_connection::kChars)));
          },
          "SaveDbConnectionStringToRegistry", SaveDbConnectionStringToRegistry}},
        {PacketType::CameraViewFeatures,
         {[](const ChannelArea& p) {
              return Received("CameraViewFeatures Packet received. FramedFace=%1").arg(Int(p, f::kSingleValue));
          },
          "SaveCameraViewFeaturesToRegistry", SaveCameraViewFeaturesToRegistry}},
        {PacketType::Alerts,
         {[](const ChannelArea&) { return Received("Alerts Packet received."); }, "SaveAlertsToRegistry",
          SaveAlertsToRegistry}},
        {PacketType::CsvFormat,
         {[](const ChannelArea& p) {
              namespace c = f::csv;
              return Received(
                         "CSV Format Packet received. Subkey=%1, Folder=%2, RotatesNumber=%3, SizeLimitMB=%4, "
                         "Encode=%5, Delimiter=%6, UseHeader=%7")
                  .arg(p.Text(c::kSubkey, c::kSubkeyChars), p.Text(c::kFolder, c::kFolderChars),
                       Int(p, c::kRotatesNumber), Int(p, c::kSizeLimitMB), Int(p, c::kEncode), Int(p, c::kDelimiter),
                       Int(p, c::kUseHeader));
          },
          "SaveCsvFormatToRegistry", SaveCsvFormatToRegistry}},
        {PacketType::ScriptFormat,
         {[](const ChannelArea& p) {
              namespace s = f::script;
              return Received("Script Format Packet received. Subkey=%1, Timeout=%2, AllowUI=%3, ImgFileFormat=%4")
                  .arg(p.Text(s::kSubkey, s::kSubkeyChars), Int(p, s::kTimeout), Int(p, s::kAllowUI),
                       Int(p, s::kImgFileFormat));
          },
          "SaveScriptFormatToRegistry", SaveScriptFormatToRegistry}},
        {PacketType::ManagementServerSettings,
         {[](const ChannelArea& p) {
              namespace m = f::management;
              return Received(
                         "ManagementServerSettings Packet received: AllowManagement=%1, TcpPort=%2, "
                         "AllowUdpLocation=%3, UdpPort=%4, Pwd=%5, AcceptConnectionFlag=%6")
                  .arg(Int(p, m::kAllowManagement), Int(p, m::kTcpPort), Int(p, m::kAllowUdpLocation),
                       Int(p, m::kUdpPort), QLatin1String(settings::kMaskedSecret), Int(p, m::kAcceptConnectionFlag));
          },
          "SaveManagementServerSettingsToRegistry", SaveManagementServerSettingsToRegistry}},
        {PacketType::DbDivProportion,
         {[](const ChannelArea& p) {
              return Received("DbDivProportion Packet received. Proportion=%1").arg(Proportion(p));
          },
          "SaveDivProportionToRegistry", DivProportion(rn::app::kDbDivProportion)}},
        {PacketType::DbWinSettings,
         {[](const ChannelArea&) { return Received("DbWinSettings Packet received."); }, "SaveDbWinSettingsToRegistry",
          SaveDbWinSettingsToRegistry}},
        {PacketType::RecognitionSettings,
         {[](const ChannelArea& p) {
              namespace r = f::recognition;
              return Received(
                         "RecognitionSettings Packet received: MaxSubject=%1, LikelyDistance=%2, "
                         "AssuranceDistance=%3, RepeatForRecognition=%4, RememberRecognized=%5, "
                         "ShortInvisibility=%6")
                  .arg(Int(p, r::kMaxSubject), Int(p, r::kLikelyDistance), Int(p, r::kAssuranceDistance),
                       Int(p, r::kRepeatForRecognition), Int(p, r::kRememberRecognized), Int(p, r::kShortInvisibility));
          },
          "SaveRecognitionSettingsToRegistry", SaveRecognitionSettingsToRegistry}},
        {PacketType::SmtpSettings,
         {[](const ChannelArea& p) {
              namespace s = f::smtp;
              return Received(
                         "SmtpSettings Packet received: SMTPServer='%1', SMTPPort=%2, SSL=%3, Originator='%4', "
                         "SMTPAuthRequired=%5, SendUserName='%6'...")
                  .arg(p.Text(s::kServer, s::kServerChars), Int(p, s::kPort), Int(p, s::kUseSsl),
                       p.Text(s::kOriginator, s::kOriginatorChars), Int(p, s::kAuthRequired),
                       p.Text(s::kUserName, s::kUserNameChars));
          },
          "SaveSmtpSettingsToRegistry", SaveSmtpSettingsToRegistry}},
        {PacketType::UPActionSet,
         {[](const ChannelArea&) { return Received("UPActionSet Packet received"); }, "SaveUPActionSetToRegistry",
          SaveUPActionSetToRegistry}},
    };
    for (const auto& [packetType, handler] : handlers)
        if (static_cast<uint32_t>(packetType) == type) return &handler;
    return nullptr;
}

// Success touches only the result, an unknown type the result and the kind.
Reply ResultReply(uint32_t result, uint32_t kind = 0) {
    Reply reply(result == ch::kResultSuccess ? ch::kFailureKindOffset : ch::kErrorTextOffset);
    ChannelArea area(reply.data(), reply.size());
    area.SetU32(ch::kResultOffset, result);
    area.SetU32(ch::kFailureKindOffset, kind);
    return reply;
}

// Clears the reply area and carries the text.
Reply FailureReply(const QString& text) {
    Reply reply(ch::kReplyClearBytes);
    ChannelArea area(reply.data(), reply.size());
    area.SetU32(ch::kResultOffset, ch::kResultFailure);
    area.SetU32(ch::kFailureKindOffset, ch::kFailureErrorText);
    area.SetText(ch::kErrorTextOffset, ch::kErrorTextChars, text);
    return reply;
}

// Loads the store, runs the writer and saves what it did, also after a failure half-way, so
// values written before it stay written. The first error wins. A store that does not load whole
// is kept aside and refused (13): saving the part that loaded would lose the rest.
int WriteToStore(const QString& storePath, const StoreWriter& write, const ChannelArea& packet) {
    platform::RegistryStore store(storePath);
    if (const int rc = store.Load(); rc != platform::kErrorSuccess) return rc;
    if (store.Integrity() == platform::StoreIntegrity::Damaged) {
        KeepDamagedStoreAside(storePath, store.DamagedLine());
        return platform::kErrorInvalidData;
    }
    const int written = write(store, packet);
    const int saved = store.Save();
    return written != platform::kErrorSuccess ? written : saved;
}

Reply HandleCloseTcpSocket(const ChannelArea& packet, CloseRequesters& requesters) {
    char dotted[INET_ADDRSTRLEN] = {};
    uint32_t address = 0;
    packet.CopyOut(ch::close_tcp::kAddress, &address, sizeof address);
    inet_ntop(AF_INET, &address, dotted, sizeof dotted);
    WriteLog(QStringLiteral("HandleTPP2SvcPacket: CloseTcpSocket Packet received. PID=%1, IPaddr=%2, Port=%3")
                 .arg(Int(packet, ch::close_tcp::kPid), QLatin1String(dotted))
                 .arg(packet.U16(ch::close_tcp::kPort)));
    QString message;
    if (HandleCloseTcpSocketCommand(packet, requesters, &message)) {
        WriteLog(QStringLiteral("HandleCloseTcpSocketCommand OK."));
        return ResultReply(ch::kResultSuccess);
    }
    WriteLog(QStringLiteral("HandleCloseTcpSocketCommand(): ") + message);
    return FailureReply(message);
}

}  // namespace

Reply HandleApp2SvcPacket(const ChannelArea& packet, const QString& storePath, CloseRequesters& requesters) {
    const uint32_t type = packet.U32(ch::kTypeOffset);
    if (type == static_cast<uint32_t>(PacketType::CloseTcpSocket)) return HandleCloseTcpSocket(packet, requesters);
    const PacketHandler* handler = FindHandler(type);
    if (!handler) {
        WriteLog(QStringLiteral("WARNING: HandleApp2SvcPacket: unknown Packet Id: %1").arg(static_cast<int32_t>(type)));
        return ResultReply(ch::kResultFailure, ch::kFailureUnknownType);
    }

    WriteLog(handler->receipt(packet).left(kLogTextChars));
    const int rc = handler->write ? WriteToStore(storePath, handler->write, packet) : SaveAutoRunToRegistry(packet);
    const QString writer = QLatin1String(handler->writerName);
    if (rc == platform::kErrorSuccess) {
        WriteLog(writer + QStringLiteral("() OK."));
        return ResultReply(ch::kResultSuccess);
    }
    const QString text = platform::FormatSystemError(rc, static_cast<int>(ch::kErrorTextChars));
    WriteLog(QStringLiteral("Error on %1(): %2").arg(writer, text));
    return FailureReply(text);
}

namespace {

// Copies the packet in, handles it and writes the reply out.
void ServeCopiedPacket(const platform::NamedSharedMemory& area, const QString& storePath,
                       CloseRequesters& requesters) {
    std::vector<uint8_t> copy(area.Size());
    Reply reply;
    if (const int rc = area.Read(0, copy.data(), copy.size()); rc != platform::kErrorSuccess) {
        const QString text = platform::FormatSystemError(rc, static_cast<int>(ch::kErrorTextChars));
        WriteLog(QStringLiteral("HandleApp2SvcPacket: Error on reading the packet: ") + text);
        // Give the area back its size before the reply, so the exchanges after this one go ahead.
        if (const int restored = area.RestoreSize(); restored != platform::kErrorSuccess)
            WriteLog(QStringLiteral("HandleApp2SvcPacket: Error on restoring the area size: ") +
                     platform::FormatSystemError(restored));
        reply = FailureReply(text);
    } else {
        reply = HandleApp2SvcPacket(ChannelArea(copy.data(), copy.size()), storePath, requesters);
    }
    if (const int rc = area.Write(0, reply.data(), reply.size()); rc != platform::kErrorSuccess)
        WriteLog(QStringLiteral("HandleApp2SvcPacket: Error on writing the reply: ") + platform::FormatSystemError(rc));
}

// Written without taking memory, for the moment when there is none: a fixed buffer on the stack.
void WriteMemoryFailureReply(const platform::NamedSharedMemory& area, const char* where) {
    uint8_t bytes[ch::kReplyClearBytes] = {};
    ChannelArea reply(bytes, sizeof bytes);
    reply.SetU32(ch::kResultOffset, ch::kResultFailure);
    reply.SetU32(ch::kFailureKindOffset, ch::kFailureErrorText);
    reply.SetText(ch::kErrorTextOffset, ch::kErrorTextChars, kMemoryAllocationError);
    (void)area.Write(0, bytes, sizeof bytes);
    try {
        WriteLog(QLatin1String(where) + QStringLiteral("(): ") + kMemoryAllocationError.toString());
    } catch (const std::bad_alloc&) {
        // The line is lost; the reply is what matters.
    }
}

}  // namespace

void ServeApp2SvcPacket(const platform::NamedSharedMemory& area, const QString& storePath,
                        CloseRequesters& requesters) {
    // Running out of memory fails this packet only: the program gets its answer and the service
    // stays for the next one.
    try {
        ServeCopiedPacket(area, storePath, requesters);
    } catch (const std::bad_alloc&) {
        WriteMemoryFailureReply(area, "HandleApp2SvcPacket");
    }
}

namespace {

enum class Served { Packet, Stop };

// One turn of the channel thread: a packet served, or the request to stop.
Served ServeNext(const AppCommObjects& objects) {
    switch (platform::WaitForAny({objects.threadTerm, objects.request}, platform::kInfinite)) {
    case 0:
        WriteLog(QStringLiteral("AppCommThreadFunc(): TermEvent signaled."));
        WriteLog(QStringLiteral("AppCommThreadFunc(): Thread Exit."));
        return Served::Stop;
    case 1:
        ServeApp2SvcPacket(*objects.area, objects.storePath, *objects.closeRequesters);
        objects.reply->Set();
        return Served::Packet;
    default:
        WriteLog(QStringLiteral("AppCommThreadFunc(): unkown error on WaitForMultipleObjects."));
        // A wait that fails at once would otherwise spin.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return Served::Packet;
    }
}

}  // namespace

void AppCommThreadFunc(const AppCommObjects& objects) {
    try {
        WriteLog(QStringLiteral("AppCommThreadFunc(): Thread started."));
    } catch (const std::bad_alloc&) {
    }
    for (;;) {
        // Out of memory while waiting or logging: a packet is answered all the same (it catches
        // its own), so the thread only pauses and waits again.
        try {
            if (ServeNext(objects) == Served::Stop) return;
        } catch (const std::bad_alloc&) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
}

}  // namespace service
