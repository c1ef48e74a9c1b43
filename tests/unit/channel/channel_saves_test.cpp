// The save operations against a stand-in service in the same process: the bytes each one leaves
// in the area are compared with images made by hand from the offsets of the packet layout.

#include "settings/channel_saves.h"
#include "platform/fixedtext.h"
#include "platform/ipc.h"
#include "platform/log.h"
#include "platform/paths.h"
#include "settings/svc_channel.h"
#include "tests/support/ipc_namespace.h"
#include "tests/support/log_lines.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

using namespace settings;
using namespace settings::channel;
using testsupport::LogLines;

namespace {

constexpr uint8_t kFill = 0xAB;

// A byte image of the whole area, filled like the area before the exchange.
struct Image {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(kAreaSize, kFill);

    Image& Zero(size_t offset, size_t count) {
        std::memset(bytes.data() + offset, 0, count);
        return *this;
    }
    Image& U32(size_t offset, uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[offset + i] = uint8_t(v >> (8 * i));
        return *this;
    }
    Image& F64(size_t offset, double v) {
        uint64_t bits;
        std::memcpy(&bits, &v, 8);
        for (int i = 0; i < 8; ++i) bytes[offset + i] = uint8_t(bits >> (8 * i));
        return *this;
    }
    // The characters and the NUL; the rest of the field is what the image already holds.
    Image& Text(size_t offset, QStringView text) {
        for (qsizetype i = 0; i <= text.size(); ++i) {
            const char16_t unit = i < text.size() ? text[i].unicode() : 0;
            bytes[offset + 2 * i] = uint8_t(unit);
            bytes[offset + 2 * i + 1] = uint8_t(unit >> 8);
        }
        return *this;
    }
    Image& Header(PacketType type, uint32_t size) { return U32(0, uint32_t(type)).U32(4, size); }
};

void ExpectSameBytes(const std::vector<uint8_t>& actual, const Image& expected) {
    ASSERT_EQ(actual.size(), expected.bytes.size());
    for (size_t i = 0; i < actual.size(); ++i) {
        if (actual[i] != expected.bytes[i]) {
            ADD_FAILURE() << "first difference at offset " << i << ": " << int(actual[i]) << " instead of "
                          << int(expected.bytes[i]);
            return;
        }
    }
}

// Plays the service: answers each request with the reply the test chose and keeps a copy of the
// area as the request left it.
class StandInService {
public:
    StandInService() {
        EXPECT_EQ(area_.Create(kMapFileName, kAreaSize), 0);
        EXPECT_EQ(area_.Map(), 0);
        EXPECT_EQ(request_.Create(kRequestEventName), 0);
        EXPECT_EQ(reply_.Create(kReplyEventName), 0);
        EXPECT_EQ(svcMutex_.Create(kServiceMutexName), 0);
        EXPECT_EQ(svcMutex_.Lock(1000), platform::NamedMutex::LockResult::Acquired);
        std::memset(area_.Data(), kFill, kAreaSize);
        thread_ = std::thread([this] { Serve(); });
    }
    ~StandInService() {
        stop_.Set();
        thread_.join();
        area_.Close(true);
        request_.Close();
        reply_.Close();
    }

    using Answer = std::function<bool(ChannelArea&)>;
    using Inspection = std::function<void(const std::vector<uint8_t>&, ChannelArea&)>;

    // Writes the reply into the area; returns false to leave the request unanswered. Set under
    // the lock: the serving thread may be between requests while a test that timed out sets it.
    void SetAnswer(Answer answer) {
        std::lock_guard lock(mutex_);
        answer_ = std::move(answer);
    }
    // Runs after the copy is taken and before the reply is written.
    void SetInspection(Inspection inspect) {
        std::lock_guard lock(mutex_);
        inspect_ = std::move(inspect);
    }

    std::vector<uint8_t> LastRequest() {
        std::lock_guard lock(mutex_);
        return last_;
    }
    int Requests() const { return requests_; }
    // Only between exchanges: the next image starts from a known area again.
    void Refill() { std::memset(area_.Data(), kFill, kAreaSize); }
    // A reply set by hand, as a service that answers late sets it.
    void Reply() { reply_.Set(); }
    // The service's orderly stop: it lets go of its mutex.
    void ReleaseMutex() { svcMutex_.Release(); }

private:
    void Serve() {
        for (;;) {
            if (platform::WaitForAny({&stop_, &request_}, platform::kInfinite) != 1) return;
            ChannelArea area(area_.Data(), area_.Size());
            std::vector<uint8_t> copy(area_.Data(), area_.Data() + kAreaSize);
            Answer answer;
            Inspection inspect;
            {
                std::lock_guard lock(mutex_);
                last_ = copy;
                answer = answer_;
                inspect = inspect_;
            }
            ++requests_;
            if (inspect) inspect(copy, area);
            if (answer(area)) reply_.Set();
        }
    }

    platform::NamedSharedMemory area_;
    platform::NamedEvent request_;
    platform::NamedEvent reply_;
    platform::NamedMutex svcMutex_;
    platform::Event stop_{true, false};
    std::thread thread_;
    std::mutex mutex_;
    std::vector<uint8_t> last_;
    Answer answer_ = [](ChannelArea& area) {
        area.SetU32(kResultOffset, kResultSuccess);
        return true;
    };
    Inspection inspect_;
    std::atomic<int> requests_{0};
};

class ChannelSaves : public ::testing::Test {
protected:
    void SetUp() override {
        ns = testsupport::UseFreshIpcNamespace("tsave");
        ASSERT_TRUE(dir.isValid());
        logPath = dir.filePath(QStringLiteral("Ostrovid.log"));
        platform::SetLogFile(logPath, dir.filePath(QStringLiteral("Ostrovid1.log")));
        service = std::make_unique<StandInService>();
        channel = std::make_unique<SvcChannel>(&term);
        ASSERT_EQ(channel->InitSyncObjects(), kAttached);
        SetProgramChannel(channel.get());
    }
    void TearDown() override {
        SetProgramChannel(nullptr);
        channel->Close();
        service.reset();
        testsupport::RemoveIpcObjects(ns);
    }

    QStringList Log() const { return LogLines(logPath); }
    // The lines logged since the previous call.
    QStringList NewLines() {
        const QStringList all = Log();
        const QStringList fresh = all.mid(seen);
        seen = all.size();
        return fresh;
    }

    std::string ns;
    QTemporaryDir dir;
    QString logPath;
    qsizetype seen = 0;
    platform::Event term{true, false};
    std::unique_ptr<StandInService> service;
    std::unique_ptr<SvcChannel> channel;
};

struct FixedCase {
    const char* name;
    std::function<bool()> save;
    Image expected;
    QStringList lines;
};

TEST_F(ChannelSaves, FixedPayloadsAreWrittenAtTheirOffsetsAndNothingElseIsTouched) {
    const std::vector<FixedCase> cases = {
        {"CamerasExtParam",
         [] {
             return SaveCamerasExtParam({1, 90, 20});
         },
         Image().Header(PacketType::CamerasExtParam, 12).U32(8, 1).U32(12, 90).U32(16, 20),
         {"CamerasExtParam saved to registry."}},
        {"Maximized",
         [] { return SaveMaximized(1); },
         Image().Header(PacketType::AppWinowMaximizedState, 4).U32(8, 1),
         {}},
        {"WindowPos",
         [] {
             return SaveWindowPos({-5, 7, 1024, 768});
         },
         Image().Header(PacketType::AppWinowRect, 16).U32(8, uint32_t(-5)).U32(12, 7).U32(16, 1024).U32(20, 768),
         {}},
        {"PanelDiv",
         [] { return SavePanelDivProportion(0.42); },
         Image().Header(PacketType::PanelDivProportion, 8).F64(8, 0.42),
         {"PanelDivProportion saved to registry."}},
        {"LeftPanelDiv",
         [] { return SaveLeftPanelDivProportion(0.61); },
         Image().Header(PacketType::LeftPanelDivProportion, 8).F64(8, 0.61),
         {"LeftPanelDivProportion saved to registry."}},
        {"CurrentCameraIndex",
         [] { return SaveCurrentCameraIndex(-1); },
         Image().Header(PacketType::CurrentCameraIndex, 4).U32(8, 0xFFFFFFFF),
         {"CurrentCameraIndex=-1 saved to registry."}},
        {"CameraViewFeatures",
         [] { return SaveCameraViewFeatures({0}); },
         Image().Header(PacketType::CameraViewFeatures, 4).U32(8, 0),
         {"CameraViewFeatures saved to registry."}},
        {"DbDiv",
         [] { return SaveDbDivProportion(0.3); },
         Image().Header(PacketType::DbDivProportion, 8).F64(8, 0.3),
         {"DbDivProportion saved to registry."}},
        {"DbWin",
         [] {
             return SaveDbWinSettings({1, 0, 1});
         },
         Image().Header(PacketType::DbWinSettings, 12).U32(8, 1).U32(12, 0).U32(16, 1),
         {"DbWinSettings saved to registry."}},
        {"Recognition",
         [] {
             return SaveRecognitionSettings({8, 35, 30, 3, 120, 1});
         },
         Image()
             .Header(PacketType::RecognitionSettings, 24)
             .U32(8, 8)
             .U32(12, 35)
             .U32(16, 30)
             .U32(20, 3)
             .U32(24, 120)
             .U32(28, 1),
         {"RecognitionSettings saved to registry."}},
    };
    for (const FixedCase& c : cases) {
        SCOPED_TRACE(c.name);
        service->Refill();
        EXPECT_TRUE(c.save());
        // The reply's result word overwrote the type; compare the request as it was sent.
        ExpectSameBytes(service->LastRequest(), c.expected);
        EXPECT_EQ(NewLines(), c.lines);
    }
}

TEST_F(ChannelSaves, CameraListClearsThePacketAndSendsEverySlot) {
    auto list = std::make_unique<CameraList>();
    list->Count = 2;
    CameraDescriptor& web = list->Cameras[0];
    web.Type = 0;
    platform::CopyToFixed(web.Name, u"Вход");
    web.Source.Web.CaptureDeviceNumber = -1;
    platform::CopyToFixed(web.Source.Web.DevicePath, u"/dev/v4l/by-id/usb-cam");
    web.Source.Web.PreferredResolutionWidth = 640;
    web.Source.Web.PreferredResolutionHeight = 480;
    web.RotationFlag = 2;
    web.Mirroring = 1;
    web.InUse = 1;
    CameraDescriptor& ip = list->Cameras[1];
    ip.Type = 1;
    platform::CopyToFixed(ip.Name, u"Двор");
    platform::CopyToFixed(ip.Source.Url, u"rtsp://10.0.0.5:554/stream");
    ip.RotationFlag = 3;
    ip.InUse = 1;
    // A slot past the count still travels.
    platform::CopyToFixed(list->Cameras[9].Name, u"spare");

    service->Refill();

    ASSERT_TRUE(SaveCameraList(*list));
    const size_t c0 = 12, c1 = 12 + 4312, c9 = 12 + 9 * 4312;
    Image expected;
    expected.Zero(0, 43132).Header(PacketType::CameraList, 43124).U32(8, 2);
    expected.U32(c0, 0).Text(c0 + 4, u"Вход").U32(c0 + 132, uint32_t(-1)).Text(c0 + 136, u"/dev/v4l/by-id/usb-cam");
    expected.U32(c0 + 656, 640).U32(c0 + 660, 480).U32(c0 + 4300, 2).U32(c0 + 4304, 1).U32(c0 + 4308, 1);
    expected.U32(c1, 1).Text(c1 + 4, u"Двор").Text(c1 + 132, u"rtsp://10.0.0.5:554/stream");
    expected.U32(c1 + 4300, 3).U32(c1 + 4308, 1);
    expected.Text(c9 + 4, u"spare");
    ExpectSameBytes(service->LastRequest(), expected);
    EXPECT_EQ(NewLines(), QStringList{"CameraList saved to registry."});

    list->Count = 12;
    service->Refill();
    ASSERT_TRUE(SaveCameraList(*list));
    EXPECT_EQ(ChannelArea(service->LastRequest().data(), kAreaSize).U32(8), 10u);
}

TEST_F(ChannelSaves, TextGroupsClearTheirWholePacket) {
    auto alerts = std::make_unique<Alerts>();
    AlertSettings& gray = alerts->Items[3];
    gray.PlayWav = 1;
    platform::CopyToFixed(gray.Speech, u"Внимание, %SURNAME%");
    gray.ScriptType = 1;
    platform::CopyToFixed(gray.BodyFormat, u"Тело\r\nписьма");
    service->Refill();
    ASSERT_TRUE(SaveSaveAlerts(*alerts));
    const size_t a3 = 8 + 3 * 11812;
    ExpectSameBytes(service->LastRequest(), Image()
                                                .Zero(0, 8 + 47248)
                                                .Header(PacketType::Alerts, 47248)
                                                .U32(a3, 1)
                                                .Text(a3 + 524, u"Внимание, %SURNAME%")
                                                .U32(a3 + 1044, 1)
                                                .Text(a3 + 7716, u"Тело\r\nписьма"));
    EXPECT_EQ(NewLines(), QStringList{"Alerts saved to registry."});

    CsvFormat csv{};
    platform::CopyToFixed(csv.SubkeyName, u"Other");
    platform::CopyToFixed(csv.Folder, u"/var/log/ostrovid");
    csv.RotatesNumber = 3;
    csv.SizeLimitMB = 20;
    csv.Encode = 2;
    csv.Delimiter = 1;
    csv.UseHeader = 1;
    service->Refill();
    ASSERT_TRUE(SaveCSVFormat(csv));
    ExpectSameBytes(service->LastRequest(), Image()
                                                .Zero(0, 700)
                                                .Header(PacketType::CsvFormat, 692)
                                                .Text(8, u"RecognizedPersons")
                                                .Text(136, u"/var/log/ostrovid")
                                                .U32(680, 3)
                                                .U32(684, 20)
                                                .U32(688, 2)
                                                .U32(692, 1)
                                                .U32(696, 1));
    EXPECT_EQ(NewLines(), QStringList{"CSV Format for RecognizedPersons saved to registry."});

    ScriptFormat script{};
    script.Timeout = -1;
    script.AllowUI = 1;
    script.ImgFileFormat = 2;
    service->Refill();
    ASSERT_TRUE(SaveScriptFormat(script, QStringLiteral("UnrecognizedPersons")));
    ExpectSameBytes(service->LastRequest(), Image()
                                                .Zero(0, 148)
                                                .Header(PacketType::ScriptFormat, 140)
                                                .Text(8, u"UnrecognizedPersons")
                                                .U32(136, uint32_t(-1))
                                                .U32(140, 1)
                                                .U32(144, 2));
    EXPECT_EQ(NewLines(), QStringList{"Script Format for UnrecognizedPersons saved to registry."});

    auto smtp = std::make_unique<SmtpSettings>();
    platform::CopyToFixed(smtp->SMTPServer, u"smtp.example.org");
    smtp->SMTPServerPort = 465;
    smtp->SMTPUseSSL = 1;
    platform::CopyToFixed(smtp->Originator, u"cam@example.org");
    smtp->SMTPAuthRequired = 1;
    platform::CopyToFixed(smtp->SendUserName, u"cam");
    platform::CopyToFixed(smtp->SendPassword, u"секрет");
    platform::CopyToFixed(smtp->Recepients, u"a@example.org,b@example.org");
    service->Refill();
    ASSERT_TRUE(SaveSmtpSettings(*smtp));
    ExpectSameBytes(service->LastRequest(), Image()
                                                .Zero(0, 6418)
                                                .Header(PacketType::SmtpSettings, 6410)
                                                .Text(8, u"smtp.example.org")
                                                .U32(520, 465)
                                                .U32(524, 1)
                                                .Text(528, u"cam@example.org")
                                                .U32(1168, 1)
                                                .Text(1172, u"cam")
                                                .Text(1812, u"секрет")
                                                .Text(2322, u"a@example.org,b@example.org"));
    EXPECT_EQ(NewLines(), QStringList{"SmtpSettings saved to registry."});

    auto up = std::make_unique<UPActionSet>();
    up->Script = 1;
    platform::CopyToFixed(up->ScriptFile, u"/opt/scripts/unknown.js");
    up->SendMail = 1;
    platform::CopyToFixed(up->SubjectFormat, u"Неизвестный");
    service->Refill();
    ASSERT_TRUE(SaveUPActionSet(*up));
    ExpectSameBytes(service->LastRequest(), Image()
                                                .Zero(0, 10780)
                                                .Header(PacketType::UPActionSet, 10772)
                                                .U32(8, 1)
                                                .Text(16, u"/opt/scripts/unknown.js")
                                                .U32(536, 1)
                                                .Text(4636, u"Неизвестный"));
    EXPECT_EQ(NewLines(), QStringList{});

    service->Refill();

    ASSERT_TRUE(SaveDbConnectionString(u"Provider=SQLite;Data Source=/var/lib/Vektra/Ostrovid/Ostrovid.db"));
    ExpectSameBytes(service->LastRequest(),
                    Image()
                        .Zero(0, 2056)
                        .Header(PacketType::DbConnectionString, 2048)
                        .Text(8, u"Provider=SQLite;Data Source=/var/lib/Vektra/Ostrovid/Ostrovid.db"));
    EXPECT_EQ(NewLines(), QStringList{"DbConnectionString saved to registry."});

    service->Refill();

    ASSERT_TRUE(SaveAutoRun(true));
    ExpectSameBytes(
        service->LastRequest(),
        Image().Zero(0, 532).Header(PacketType::AutoRunSettings, 524).U32(8, 1).Text(12, platform::ProgramFilePath()));
    EXPECT_EQ(NewLines(), QStringList{});
}

TEST_F(ChannelSaves, StationsArePackedUntilTheFirstOneThatDoesNotFit) {
    std::vector<uint8_t> buffer(kAreaSize, 0);
    ChannelArea area(buffer.data(), buffer.size());
    const QString big(32000, u'x');
    // 6 + 32001 characters are used; 761 more would need 32768.
    EXPECT_EQ(PackStationList({"alpha", big, QString(761, u'y'), "b"}, area), 2u);
    EXPECT_EQ(area.U32(60), 2u);
    EXPECT_EQ(area.Text(64, 6), "alpha");
    EXPECT_EQ(area.Text(64 + 12, 32001), big);
    EXPECT_EQ(area.U16(64 + 2 * 6 + 2 * 32000), 0);
    EXPECT_EQ(area.U16(64 + 2 * 32007), 0);

    // 760 fill the area to its last character, the NUL of the last string included.
    std::fill(buffer.begin(), buffer.end(), 0);
    EXPECT_EQ(PackStationList({"alpha", big, QString(760, u'y'), "b"}, area), 3u);
    EXPECT_EQ(area.Text(64 + 2 * 32007, 761), QString(760, u'y'));
    EXPECT_EQ(area.U16(64 + 2 * 32767), 0);

    ManagementServerSettings m{1, 21077, 1, 21078, {}, 1};
    platform::CopyToFixed(m.Password, u"pwd");
    service->Refill();
    ASSERT_TRUE(SaveManagementServerSettings(m, {"10.0.0.7", "host-b"}));
    ExpectSameBytes(service->LastRequest(), Image()
                                                .Zero(0, 65600)
                                                .Header(PacketType::ManagementServerSettings, 65592)
                                                .U32(8, 1)
                                                .U32(12, 21077)
                                                .U32(16, 1)
                                                .U32(20, 21078)
                                                .Text(24, u"pwd")
                                                .U32(56, 1)
                                                .U32(60, 2)
                                                .Text(64, u"10.0.0.7")
                                                .Text(64 + 18, u"host-b"));
    EXPECT_EQ(NewLines(), QStringList{});
}

TEST_F(ChannelSaves, FailureRepliesAreLoggedWithTheOperationsFormat) {
    service->SetAnswer([](ChannelArea& area) {
        area.SetU32(kResultOffset, kResultFailure);
        area.SetU32(kFailureKindOffset, kFailureUnknownType);
        return true;
    });
    EXPECT_FALSE(SaveDbWinSettings({1, 1, 1}));
    EXPECT_EQ(NewLines(), QStringList{"Error on saving DbWinSettings to registry: Unknown input packet in map."});

    service->SetAnswer([](ChannelArea& area) {
        area.Clear(0, kReplyClearBytes);
        area.SetU32(kResultOffset, kResultFailure);
        area.SetU32(kFailureKindOffset, kFailureErrorText);
        area.SetText(kErrorTextOffset, kErrorTextChars, u"Отказано в доступе. (5)");
        return true;
    });
    EXPECT_FALSE(SaveCSVFormat(CsvFormat{}));
    EXPECT_FALSE(SaveMaximized(0));
    EXPECT_FALSE(SaveSaveAlerts(*std::make_unique<Alerts>()));
    EXPECT_EQ(NewLines(), (QStringList{
                              "Error on saving CSV Format for RecognizedPersons to registry: Отказано в доступе. (5)",
                              "Error on saving SaveMaximized state to registry: Отказано в доступе. (5)",
                              "Error on saving SaveAlerts to registry: Отказано в доступе. (5)",
                          }));

    service->SetAnswer([](ChannelArea& area) {
        area.SetU32(kResultOffset, 7);
        area.SetU32(kFailureKindOffset, 9);
        return true;
    });
    EXPECT_FALSE(SaveUPActionSet(*std::make_unique<UPActionSet>()));
    EXPECT_EQ(NewLines(), QStringList{"Error on saving UPActionSet Settings to registry: Unknown error."});
}

// Every operator may resize the area's file: the program then loses that one save, with an error
// line, instead of dying of SIGBUS, and the next save finds the area whole again.
TEST_F(ChannelSaves, AnAreaCutShortFailsTheSaveWithAnErrorAndTheNextOneGoesThrough) {
    const int fd = ::open(platform::IpcObjectPath(kMapFileName).c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    const QString cutShort = QStringLiteral("Error on saving WindowPos to registry: Недопустимые данные. (13)");

    ASSERT_EQ(::ftruncate(fd, 0), 0);
    EXPECT_FALSE(SaveWindowPos({1, 2, 3, 4}));
    EXPECT_EQ(NewLines(), QStringList{cutShort});
    EXPECT_EQ(service->Requests(), 0);
    EXPECT_TRUE(SaveWindowPos({1, 2, 3, 4}));
    EXPECT_EQ(service->Requests(), 1);

    // Cut short while the service handles the packet: the reply cannot be read.
    service->SetInspection([fd](const std::vector<uint8_t>&, ChannelArea&) { ASSERT_EQ(::ftruncate(fd, 10), 0); });
    EXPECT_FALSE(SaveWindowPos({1, 2, 3, 4}));
    EXPECT_EQ(NewLines(), QStringList{cutShort});
    service->SetInspection({});
    EXPECT_TRUE(SaveWindowPos({5, 6, 7, 8}));
    EXPECT_EQ(service->LastRequest()[8], 5);
    struct stat st {};
    ASSERT_EQ(::fstat(fd, &st), 0);
    EXPECT_EQ(st.st_size, off_t(kAreaSize));
    ::close(fd);
}

TEST_F(ChannelSaves, TerminationEndsTheWaitSilentlyAndAMissingChannelIsAWaitFailure) {
    service->SetAnswer([](ChannelArea&) { return false; });
    std::thread closer([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        term.Set();
    });
    EXPECT_FALSE(SaveCameraViewFeatures({1}));
    closer.join();
    EXPECT_EQ(NewLines(), QStringList{});

    SetProgramChannel(nullptr);
    EXPECT_FALSE(SaveCameraList(*std::make_unique<CameraList>()));
    EXPECT_FALSE(SaveSaveAlerts(*std::make_unique<Alerts>()));
    EXPECT_EQ(NewLines(), (QStringList{"SaveCameraList(): Unknown error on WaitForMultipleObjects.",
                                       "SaveSaveAlerts(): Unknown error on WaitForMultipleObjects."}));
}

TEST_F(ChannelSaves, ExchangesFromTwoThreadsNeverShareTheArea) {
    std::atomic<int> overlaps{0};
    service->SetInspection([&](const std::vector<uint8_t>& request, ChannelArea& area) {
        // A second writer would change the packet while the service is still reading it.
        std::this_thread::sleep_for(std::chrono::microseconds(300));
        if (std::memcmp(request.data(), area.Data(), 64) != 0) ++overlaps;
    });
    std::atomic<int> failures{0};
    auto saver = [&](int base) {
        for (int i = 0; i < 150; ++i)
            if (!SaveWindowPos({base + i, base, base, base})) ++failures;
    };
    std::thread a(saver, 1000), b(saver, 5000);
    a.join();
    b.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(overlaps, 0);
    EXPECT_EQ(service->Requests(), 300);
}

// A service that holds its mutex and never answers: the wait ends at the time limit, and the
// reply that comes later is neither taken for the next packet's nor overwritten by it.
TEST_F(ChannelSaves, ALateReplyIsGivenUpAtTheLimitAndNeverTakenForTheNextPacket) {
    using namespace std::chrono_literals;
    SetProgramChannel(nullptr);
    channel->Close();
    channel = std::make_unique<SvcChannel>(&term, 400ms);
    ASSERT_EQ(channel->InitSyncObjects(), kAttached);
    SetProgramChannel(channel.get());
    NewLines();
    service->SetAnswer([](ChannelArea&) { return false; });

    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(SaveCameraViewFeatures({1}));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 400ms);
    EXPECT_LT(waited, 1500ms);
    EXPECT_EQ(NewLines(), QStringList{"SaveCameraViewFeatures(): Unknown error on WaitForMultipleObjects."});

    // The service may still be reading the first packet: the next one is refused unwritten.
    EXPECT_FALSE(SaveMaximized(1));
    EXPECT_EQ(service->Requests(), 1);
    EXPECT_EQ(NewLines(), QStringList{"SaveMaximized(): Unknown error on WaitForMultipleObjects."});

    // The late reply arrives; the next packet waits for its own.
    service->SetAnswer([](ChannelArea& area) {
        area.SetU32(kResultOffset, kResultSuccess);
        return true;
    });
    service->Reply();
    EXPECT_TRUE(SaveCurrentCameraIndex(2));
    EXPECT_EQ(service->Requests(), 2);
    EXPECT_EQ(NewLines(), QStringList{"CurrentCameraIndex=2 saved to registry."});
}

TEST_F(ChannelSaves, AServiceThatStopsDuringTheWaitEndsItWithTheWaitFailure) {
    using namespace std::chrono_literals;
    service->SetAnswer([](ChannelArea&) { return false; });
    std::thread stopper([this] {
        std::this_thread::sleep_for(300ms);
        service->ReleaseMutex();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(SaveCameraViewFeatures({1}));
    // Far below the thirty seconds of the limit: the stop itself ended the wait.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    stopper.join();
    EXPECT_EQ(NewLines(), QStringList{"SaveCameraViewFeatures(): Unknown error on WaitForMultipleObjects."});
}

}  // namespace
