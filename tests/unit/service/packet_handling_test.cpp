// HandleApp2SvcPacket on an area in memory and a store in a temporary folder: what a failing
// writer leaves behind, which bytes a reply touches, the receipt lines.

#include "platform/autorun.h"
#include "platform/log.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/syserror.h"
#include "service/app_comm.h"
#include "settings/registry_names.h"
#include "tests/support/ipc_namespace.h"
#include "tests/support/log_lines.h"
#include "tests/support/loopback.h"
#include "tests/unit/service/requester_support.h"
#include "tests/unit/service/service_folder.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

using settings::channel::ChannelArea;
namespace rn = settings::regnames;

namespace {

class PacketHandling : public testsupport::ServiceFolder {
protected:
    void SetUp() override {
        ServiceFolder::SetUp();
        std::fill(bytes.begin(), bytes.end(), 0xAB);
        ns = testsupport::UseFreshIpcNamespace("tpkt");
        requesters = testsupport::MakeCloseRequesters();
        ASSERT_TRUE(requesters);
    }
    void TearDown() override {
        requesters.reset();
        testsupport::RemoveIpcObjects(ns);
    }
    void Packet(uint32_t type, size_t clear) {
        std::memset(bytes.data(), 0, clear);
        area.SetU32(0, type);
    }
    // The reply lands on the area as the channel thread writes it.
    void Handle() {
        const service::Reply reply = service::HandleApp2SvcPacket(area, storePath, *requesters);
        ASSERT_LE(reply.size(), bytes.size());
        std::copy(reply.begin(), reply.end(), bytes.begin());
    }
    std::unique_ptr<platform::RegistryStore> Store() {
        auto store = std::make_unique<platform::RegistryStore>(storePath);
        EXPECT_EQ(store->Load(), 0);
        return store;
    }
    std::vector<uint8_t> bytes = std::vector<uint8_t>(0x20000);
    ChannelArea area{bytes.data(), bytes.size()};
    std::string ns;
    std::unique_ptr<service::CloseRequesters> requesters;
};

constexpr char16_t kLoneSurrogate[] = {0xD800, u'x', 0};

TEST_F(PacketHandling, AFailingWriterKeepsWhatItWroteBeforeAndClearsOnlyTheReplyArea) {
    Packet(14, 8 + 47248);
    for (int i = 0; i < 4; ++i) area.SetU32(8 + i * 11812, 1);
    area.SetText(8 + 2 * 11812 + 524, 256, kLoneSurrogate);  // alert 2's speech cannot be stored
    area.SetText(8 + 524, 256, u"Внимание");
    const std::vector<uint8_t> before = bytes;
    Handle();
    EXPECT_EQ(area.U32(0), 1u);
    EXPECT_EQ(area.U32(4), 2u);
    EXPECT_EQ(area.Text(8, 256), "Параметр задан неверно. (87)");
    for (size_t i = 8 + 2 * 30; i < 1024; ++i) ASSERT_EQ(bytes[i], 0) << i;
    // Beyond the reply area the packet is left as it was.
    EXPECT_TRUE(std::equal(before.begin() + 1024, before.end(), bytes.begin() + 1024));
    auto store = Store();
    EXPECT_EQ(store->SubkeyNames(rn::kAlertsKey), (QStringList{"0", "1", "2"}));
    EXPECT_EQ(store->ValueNames(rn::NumberedKey(rn::kAlertsKey, 1)).size(), 11);
    EXPECT_EQ(store->ValueNames(rn::NumberedKey(rn::kAlertsKey, 2)), (QStringList{"PlayWav", "WavFile"}));
    EXPECT_EQ(Log(), (QStringList{"HandleApp2SvcPacket: Alerts Packet received.",
                                  "Error on SaveAlertsToRegistry(): Параметр задан неверно. (87)"}));
}

TEST_F(PacketHandling, AManagementValueThatFailsStillRebuildsTheStations) {
    Packet(17, 65600);
    area.SetU32(8, 1);
    area.SetU32(12, 21077);
    area.SetU32(20, 21078);
    area.SetText(24, 16, kLoneSurrogate);
    area.SetU32(60, 2);
    area.SetText(64, 3, u"s1");
    area.SetText(70, 3, u"s2");
    Handle();
    EXPECT_EQ(area.U32(0), 1u);
    auto store = Store();
    EXPECT_EQ(store->ValueNames(rn::kAppKey),
              (QStringList{"AllowManagement", "TcpPort", "AllowUdpLocation", "UdpPort"}));
    EXPECT_EQ(store->ValueNames(rn::kAllowedStationKey), (QStringList{"0", "1"}));
}

TEST_F(PacketHandling, SuccessSetsOnlyTheResultAndReceiptLinesShowThePayload) {
    Packet(15, 700);
    area.SetText(8, 64, u"RecognizedPersons");
    area.SetText(136, 272, u"/var/log/o");
    area.SetU32(680, 2);
    area.SetU32(684, 5);
    area.SetU32(688, 1);
    area.SetU32(692, 0);
    area.SetU32(696, 1);
    const std::vector<uint8_t> before = bytes;
    Handle();
    EXPECT_EQ(area.U32(0), 0u);
    EXPECT_TRUE(std::equal(before.begin() + 4, before.end(), bytes.begin() + 4));

    Packet(21, 6418);
    area.SetText(8, 256, u"mail.example.org");
    area.SetU32(520, 25);
    area.SetText(528, 320, u"from@example.org");
    area.SetText(1172, 320, u"user");
    area.SetText(1812, 255, u"secret");
    Handle();

    // This process plays the program, which holds no connection to that camera.
    ::setenv("OSTROVID_PROGRAM_PATH", platform::ProgramFilePath().toLocal8Bit().constData(), 1);
    Packet(2, 20);
    area.SetU32(8, static_cast<uint32_t>(getpid()));
    const uint32_t address = inet_addr("10.20.30.40");
    std::memcpy(bytes.data() + 12, &address, 4);
    area.SetU16(16, 554);
    {
        const auto vouching = testsupport::Vouch(area);
        Handle();
    }
    ::unsetenv("OSTROVID_PROGRAM_PATH");
    EXPECT_EQ(area.U32(0), 1u);
    EXPECT_EQ(area.U32(4), 2u);
    EXPECT_EQ(area.Text(8, 256), "Не найдено TCP соединение IP-камеры.");

    Packet(11, 8);
    Handle();
    EXPECT_EQ(area.U32(4), 1u);

    EXPECT_EQ(Log(),
              (QStringList{
                  "HandleApp2SvcPacket: CSV Format Packet received. Subkey=RecognizedPersons, Folder=/var/log/o, "
                  "RotatesNumber=2, SizeLimitMB=5, Encode=1, Delimiter=0, UseHeader=1",
                  "SaveCsvFormatToRegistry() OK.",
                  "HandleApp2SvcPacket: SmtpSettings Packet received: SMTPServer='mail.example.org', SMTPPort=25, "
                  "SSL=0, Originator='from@example.org', SMTPAuthRequired=0, SendUserName='user'...",
                  "SaveSmtpSettingsToRegistry() OK.",
                  QStringLiteral("HandleTPP2SvcPacket: CloseTcpSocket Packet received. PID=%1, IPaddr=10.20.30.40, "
                                 "Port=554")
                      .arg(getpid()),
                  "HandleCloseTcpSocketCommand(): Поиск открытых TCP соединений 10.20.30.40:554",
                  "HandleCloseTcpSocketCommand(): Не найдено TCP соединение IP-камеры.",
                  "HandleCloseTcpSocketCommand(): Не найдено TCP соединение IP-камеры.",
                  "WARNING: HandleApp2SvcPacket: unknown Packet Id: 11",
              }));
}

TEST_F(PacketHandling, ReceiptLinesNeverHoldAPassword) {
    Packet(17, 65600);
    area.SetText(24, 16, u"mgmt-s3cr3t");
    Handle();
    Packet(12, 2056);
    area.SetText(8, 1024, u"Provider=PostgreSQL;Data Source=db;User ID=op;Password='pg;s3cr3t';Initial Catalog=O");
    Handle();
    const QStringList log = Log();
    EXPECT_TRUE(
        log.contains("HandleApp2SvcPacket: ManagementServerSettings Packet received: AllowManagement=0, TcpPort=0, "
                     "AllowUdpLocation=0, UdpPort=0, Pwd=***, AcceptConnectionFlag=0"));
    EXPECT_TRUE(
        log.contains("HandleApp2SvcPacket: DbConnectionString Packet received: Provider=PostgreSQL;Data Source=db;"
                     "User ID=op;Password=***;Initial Catalog=O"));
    EXPECT_FALSE(log.join('\n').contains("s3cr3t"));
    // The secrets themselves are stored.
    EXPECT_EQ(Store()->ValueNames(rn::kAppKey).size(), 7);
}

// A connection on the loopback, its socket made as the given user.
int ConnectAs(uid_t user, uint16_t port) {
    // setfsuid acts on this thread alone; the socket belongs to the file system user.
    const auto previous = static_cast<uid_t>(::syscall(SYS_setfsuid, user));
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ::syscall(SYS_setfsuid, previous);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(port);
    if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool Aborted(int fd) {
    char byte;
    return recv(fd, &byte, 1, MSG_DONTWAIT) < 0 && errno == ECONNABORTED;
}

TEST_F(PacketHandling, TheProgramsConnectionIsResetOnlyWhenItsOwnUserMadeTheSocket) {
    if (geteuid() != 0) GTEST_SKIP() << "a socket of another user and the reset need root";
    // This process plays the program and holds both connections to the camera.
    ::setenv("OSTROVID_PROGRAM_PATH", platform::ProgramFilePath().toLocal8Bit().constData(), 1);
    uint16_t port = 0;
    const int listener = testsupport::ListenOnLoopback(&port);
    ASSERT_GE(listener, 0);
    const int foreign = ConnectAs(65534, port);
    ASSERT_GE(foreign, 0);
    auto send = [&] {
        Packet(2, 20);
        area.SetU32(8, static_cast<uint32_t>(getpid()));
        const uint32_t address = htonl(INADDR_LOOPBACK);
        std::memcpy(bytes.data() + 12, &address, 4);
        area.SetU16(16, port);
        const auto vouching = testsupport::Vouch(area);
        Handle();
    };
    send();
    EXPECT_EQ(area.U32(0), 1u);
    EXPECT_EQ(area.Text(8, 256), "Не найдено TCP соединение IP-камеры.");
    EXPECT_FALSE(Aborted(foreign));

    const int own = ConnectAs(0, port);
    ASSERT_GE(own, 0);
    send();
    ::unsetenv("OSTROVID_PROGRAM_PATH");
    EXPECT_EQ(area.U32(0), 0u);
    EXPECT_TRUE(Aborted(own));
    EXPECT_FALSE(Aborted(foreign));
    for (const int fd : {own, foreign, listener}) close(fd);
}

TEST_F(PacketHandling, AClosePacketCountsOnlyWhenItsOwnProcessVouchedForIt) {
    if (geteuid() != 0) GTEST_SKIP() << "the reset needs root";
    // This process plays the program and holds the connection the packet names. Whom a connection
    // vouches for is the close socket's own test; here only that the packet waits for it, within
    // its bound.
    ::setenv("OSTROVID_PROGRAM_PATH", platform::ProgramFilePath().toLocal8Bit().constData(), 1);
    uint16_t port = 0;
    const int listener = testsupport::ListenOnLoopback(&port);
    ASSERT_GE(listener, 0);
    const int own = ConnectAs(0, port);
    ASSERT_GE(own, 0);
    Packet(2, 20);
    area.SetU32(8, static_cast<uint32_t>(getpid()));
    const uint32_t address = htonl(INADDR_LOOPBACK);
    std::memcpy(bytes.data() + 12, &address, 4);
    area.SetU16(16, port);
    const std::vector<uint8_t> packet(bytes.begin(), bytes.begin() + 20);

    const auto started = std::chrono::steady_clock::now();
    Handle();
    EXPECT_LE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(2000));
    EXPECT_EQ(area.U32(0), 1u);
    EXPECT_EQ(area.Text(8, 256), "Отказано в доступе. (5)");
    EXPECT_FALSE(Aborted(own));
    EXPECT_TRUE(Log().contains(
        QStringLiteral("HandleCloseTcpSocketCommand(): Process %1 has not confirmed the request through %2.")
            .arg(getpid())
            .arg(QString::fromStdString(platform::IpcObjectPath(settings::channel::kCloseSocketName)))));

    std::copy(packet.begin(), packet.end(), bytes.begin());
    {
        const auto vouching = testsupport::Vouch(area);
        Handle();
    }
    ::unsetenv("OSTROVID_PROGRAM_PATH");
    EXPECT_EQ(area.U32(0), 0u);
    EXPECT_TRUE(Aborted(own));
    close(own);
    close(listener);
}

// The autostart entry names what every desktop login runs: only the program's own file, as it is.
class AutoRunPackets : public PacketHandling {
protected:
    void SetUp() override {
        PacketHandling::SetUp();
        ::setenv("OSTROVID_AUTOSTART_DIR", dir.filePath("autostart").toLocal8Bit().constData(), 1);
        ASSERT_EQ(::mkdir(dir.filePath("autostart").toLocal8Bit().constData(), 0755), 0);
        program = dir.filePath("bin/Ostrovid");
        ASSERT_EQ(::mkdir(dir.filePath("bin").toLocal8Bit().constData(), 0755), 0);
        QFile file(program);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.close();
        ::chmod(Local(program).c_str(), 0755);
        ::setenv("OSTROVID_PROGRAM_PATH", Local(program).c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("OSTROVID_PROGRAM_PATH");
        ::unsetenv("OSTROVID_AUTOSTART_DIR");
        PacketHandling::TearDown();
    }
    static std::string Local(const QString& path) { return path.toStdString(); }
    // The reply text of an AutoRun packet with the flag set and the path; empty on success.
    QString Send(const QString& path) {
        Packet(1, 532);
        area.SetU32(8, 1);
        area.SetText(12, 260, path);
        Handle();
        return area.U32(0) == 0 ? QString() : area.Text(8, 256);
    }
    bool EntryWritten() const { return QFile::exists(dir.filePath("autostart/Ostrovid.desktop")); }

    QString program;
};

TEST_F(AutoRunPackets, OnlyTheProgramFileOfRootThatNobodyElseMayWriteIsAccepted) {
    if (geteuid() != 0) GTEST_SKIP() << "the program file must belong to root";
    const QString denied = QStringLiteral("Отказано в доступе. (5)");
    EXPECT_EQ(Send("/tmp/evil.sh"), denied);
    EXPECT_EQ(Send(program + " --evil"), denied);
    EXPECT_EQ(Send(dir.filePath("bin/../bin/Ostrovid")), denied);
    EXPECT_FALSE(EntryWritten());
    EXPECT_TRUE(
        Log().contains(QStringLiteral("SaveAutoRunToRegistry(): '/tmp/evil.sh' is not the program %1.").arg(program)));
    EXPECT_TRUE(Log().contains(QStringLiteral("Error on SaveAutoRunToRegistry(): Отказано в доступе. (5)")));

    for (const mode_t mode : {0775, 0757}) {
        ::chmod(Local(program).c_str(), mode);
        EXPECT_EQ(Send(program), denied) << std::oct << mode;
    }
    ::chmod(Local(program).c_str(), 0755);
    ASSERT_EQ(::chown(Local(program).c_str(), 65534, 0), 0);
    EXPECT_EQ(Send(program), denied);
    ASSERT_EQ(::chown(Local(program).c_str(), 0, 0), 0);
    // Whoever may write the folder may swap the file.
    for (const mode_t mode : {0775, 0757}) {
        ::chmod(Local(dir.filePath("bin")).c_str(), mode);
        EXPECT_EQ(Send(program), denied) << std::oct << mode;
    }
    ::chmod(Local(dir.filePath("bin")).c_str(), 0755);
    ASSERT_EQ(::chown(Local(dir.filePath("bin")).c_str(), 65534, 0), 0);
    EXPECT_EQ(Send(program), denied);
    ASSERT_EQ(::chown(Local(dir.filePath("bin")).c_str(), 0, 0), 0);
    // A link in the program's place is not followed, even to the real file.
    ASSERT_EQ(::rename(Local(program).c_str(), Local(dir.filePath("bin/real")).c_str()), 0);
    ASSERT_EQ(::symlink("real", Local(program).c_str()), 0);
    EXPECT_EQ(Send(program), denied);
    EXPECT_FALSE(EntryWritten());

    ASSERT_EQ(::unlink(Local(program).c_str()), 0);
    ASSERT_EQ(::rename(Local(dir.filePath("bin/real")).c_str(), Local(program).c_str()), 0);
    EXPECT_EQ(Send(program), QString());
    QString entry;
    EXPECT_EQ(platform::QueryAutorun(&entry), 0);
    EXPECT_EQ(entry, program);
}

}  // namespace
