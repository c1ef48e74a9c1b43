#include "app/management/document_handler.h"
#include "documents_test_support.h"
#include "platform/oledate.h"

#include <opencv2/imgproc.hpp>

#include <chrono>
#include <future>

namespace {

using management::DocumentHandler;
using management::PacketType;
using management::WhenQueueFull;
using namespace testsupport;
using namespace std::chrono_literals;

QString RequestText(const QString& typeElement, const QString& password = QStringLiteral("s3cret")) {
    return QStringLiteral("<Request><Password>%1</Password>%2</Request>").arg(password, typeElement);
}

QString CameraInfo(const QString& attributes) { return QStringLiteral("<Type %1>CameraInfo</Type>").arg(attributes); }

// A frame with something in it, so that a wrong row, column or channel order shows.
cv::Mat TestFrame(int width, int height) {
    cv::Mat frame(height, width, CV_8UC3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) frame.at<cv::Vec3b>(y, x) = cv::Vec3b(uchar(x * 3), uchar(y * 5), uchar(x ^ y));
    return frame;
}

recognition::SubjectStateRecord Subject(uint32_t personId, uint32_t list, const QString& surname) {
    recognition::SubjectStateRecord record;
    record.millisecondsSinceSeen = 40 + personId;
    record.sureHits = personId % 7 + 1;
    record.personId = personId;
    record.confidence = 87.25;
    record.person.listNumber = list;
    platform::CopyToFixed(record.person.surname, surname);
    platform::CopyToFixed(record.person.forename, QStringLiteral("Иван"));
    platform::CopyToFixed(record.person.alias, QStringLiteral("<&'\">"));
    record.person.gender = 1;
    return record;
}

class RequestTest : public ::testing::Test {
protected:
    RequestTest() {
        viewport.cameraType = 1;
        viewport.cameraName = QStringLiteral("Проходная");
    }

    bool Ask(const QString& text) { return handler.HandleTcpRequest(session, Bytes(PacketData(text))); }

    QDomElement Reply() {
        EXPECT_EQ(session.sent.size(), 1u);
        if (session.sent.empty()) return {};
        EXPECT_EQ(session.sent[0].type, PacketType::_S2C_TCP_REPLY);
        EXPECT_EQ(session.sent[0].whenFull, WhenQueueFull::Wait);
        EXPECT_TRUE(session.sent[0].text.startsWith(QStringLiteral("<?xml version='1.0' encoding='UTF-16'?>")));
        return ParseRoot(session.sent[0].text);
    }

    void ExpectError(int code, const QString& description) {
        const QDomElement reply = Reply();
        EXPECT_EQ(ChildNames(reply), (QStringList{"ErrorCode", "ErrorDescription", "Ostrovid"}));
        EXPECT_EQ(ChildText(reply, "ErrorCode"), QString::number(code));
        EXPECT_EQ(ChildText(reply, "ErrorDescription"), description);
    }

    LogFile log;
    NotificationSink journal;
    FakeViewport viewport;
    platform::Event term{true, false};
    platform::Event serverStop{true, false};
    DocumentHandler handler{QStringLiteral("s3cret"), journal.journal, viewport, term, serverStop};
    FakeSession session{5};
};

TEST_F(RequestTest, TypeAndItsAttributesAreCheckedBeforeTheViewportIsAsked) {
    struct Case {
        QString type;
        int code;
        QString description;
    };
    const QString badService = QStringLiteral("Неверно задан параметр запрашиваемого сервиса (ServiceType)");
    const QString badFormat = QStringLiteral("Неверно задан формат графических файлов (PreferredImgFormat)");
    const Case cases[] = {
        {QString(), 2, QStringLiteral("Неправильная структура XML запроса. Отсутствует тег <Type>.")},
        {QStringLiteral("<type>CameraInfo</type>"), 2,
         QStringLiteral("Неправильная структура XML запроса. Отсутствует тег <Type>.")},
        {QStringLiteral("<Type ServiceType='1'>cameraInfo</Type>"), 3, QStringLiteral("Неподдерживаемый тип запроса")},
        {QStringLiteral("<Type ServiceType='1'> CameraInfo</Type>"), 3, QStringLiteral("Неподдерживаемый тип запроса")},
        {CameraInfo(QString()), 3, badService},
        {CameraInfo(QStringLiteral("ServiceType='4'")), 3, badService},
        {CameraInfo(QStringLiteral("ServiceType='0x3'")), 3, badService},
        {CameraInfo(QStringLiteral("ServiceType=''")), 3, badService},
        {CameraInfo(QStringLiteral("ServiceType='3' PreferredImgFormat='3'")), 3, badFormat},
        {CameraInfo(QStringLiteral("ServiceType='3' preferredimgformat='one'")), 3, badFormat},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type.toStdString());
        session.sent.clear();
        ASSERT_TRUE(Ask(RequestText(c.type)));
        ExpectError(c.code, c.description);
    }
    EXPECT_EQ(viewport.posted, 0);
}

TEST_F(RequestTest, StoppedCameraIsReportedWithoutPersonList) {
    viewport.subjects = {Subject(7, 0, QStringLiteral("Петров"))};
    ASSERT_TRUE(
        Ask(QStringLiteral("<request><Password>s3cret</Password>"
                           "<Type SERVICETYPE='2'>CameraInfo</Type></request>")));
    const QDomElement reply = Reply();
    EXPECT_EQ(ChildNames(reply), (QStringList{"ErrorCode", "ErrorDescription", "Ostrovid", "Camera"}));
    EXPECT_EQ(ChildText(reply, "ErrorCode"), QString());
    const QDomElement camera = reply.firstChildElement("Camera");
    EXPECT_EQ(camera.attributes().count(), 1);
    EXPECT_EQ(camera.attribute("Works"), QStringLiteral("0"));
    EXPECT_TRUE(camera.firstChild().isNull());

    const QStringList lines = log.Lines();
    EXPECT_TRUE(lines.contains(QStringLiteral("HandleTcpRequest() Session 5: Запрос информации у главного потока...")));
    EXPECT_TRUE(
        lines.contains(QStringLiteral("HandleTcpRequest() Session 5: Главный потока вернул информацию по запросу")));
    const auto entries = journal.Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].description, QStringLiteral("Отправка ответа на запрос от 10.0.0.5 (station)"));
}

TEST_F(RequestTest, PictureIsTheFrameInTheRequestedFormat) {
    viewport.running = true;
    viewport.frame = TestFrame(64, 48);
    viewport.subjects = {Subject(7, 0, QStringLiteral("Петров"))};
    struct Case {
        const char* format;
        QByteArray signature;
    };
    const Case cases[] = {{"", "\xFF\xD8"},
                          {"PreferredImgFormat='0'", "\xFF\xD8"},
                          {"preferredImgFormat='1'", "\x89PNG"},
                          {"PreferredImgFormat='2'", "BM"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        session.sent.clear();
        ASSERT_TRUE(Ask(RequestText(CameraInfo(QStringLiteral("ServiceType='1' ") + QString::fromUtf8(c.format)))));
        const QDomElement reply = Reply();
        EXPECT_EQ(ChildNames(reply), (QStringList{"ErrorCode", "ErrorDescription", "Ostrovid", "Camera"}));
        const QDomElement camera = reply.firstChildElement("Camera");
        EXPECT_EQ(camera.attribute("Works"), QStringLiteral("1"));
        EXPECT_EQ(camera.attribute("Type"), QStringLiteral("1"));
        EXPECT_EQ(camera.attribute("Name"), QStringLiteral("Проходная"));
        EXPECT_EQ(camera.attribute("HRes"), QStringLiteral("64"));
        EXPECT_EQ(camera.attribute("VRes"), QStringLiteral("48"));
        const QString image = ChildText(camera, "Image");
        EXPECT_FALSE(image.contains(u'\n'));
        EXPECT_TRUE(QByteArray::fromBase64(image.toLatin1()).startsWith(c.signature));
        const cv::Mat decoded = DecodeImage(image);
        if (c.signature == "\xFF\xD8")
            EXPECT_GT(cv::PSNR(decoded, viewport.frame), 30);  // quality 100 still subsamples colour
        else
            EXPECT_EQ(MaxDifference(decoded, viewport.frame), 0);
    }
}

TEST_F(RequestTest, PersonListFollowsTheSubjectsWithTheirFields) {
    viewport.running = true;
    viewport.frame = TestFrame(32, 32);
    recognition::SubjectStateRecord withDate = Subject(12, 1, QStringLiteral("Сидорова"));
    withDate.person.gender = 0;
    platform::LocalTime birth;
    birth.year = 1984;
    birth.month = 3;
    birth.day = 9;
    withDate.person.dateOfBirth = platform::ToOleDate(birth);
    withDate.picture = TestFrame(20, 24);
    recognition::SubjectStateRecord unsure = Subject(13, 2, QStringLiteral("Никто"));
    unsure.sureHits = 0;
    viewport.subjects = {Subject(7, 0, QStringLiteral("Петров")), unsure, withDate};

    ASSERT_TRUE(Ask(RequestText(CameraInfo(QStringLiteral("ServiceType='2' PreferredImgFormat='1'")))));
    const QDomElement reply = Reply();
    EXPECT_EQ(ChildNames(reply),
              (QStringList{"ErrorCode", "ErrorDescription", "Ostrovid", "Camera", "CurrentPersonList"}));
    EXPECT_TRUE(reply.firstChildElement("Camera").firstChildElement("Image").isNull());
    const QDomElement list = reply.firstChildElement("CurrentPersonList");
    EXPECT_EQ(ChildNames(list), (QStringList{"Person", "Person"}));

    const QStringList fields{"LastPresenceAge", "RecognitionCount", "PersonID", "ConfidencePercent",
                             "ListNum",         "Surname",          "Forename", "Secondname",
                             "Alias",           "ExtKey",           "Gender"};
    const QDomElement first = list.firstChildElement("Person");
    EXPECT_EQ(ChildNames(first), fields);
    EXPECT_EQ(ChildText(first, "LastPresenceAge"), QStringLiteral("47"));
    EXPECT_EQ(ChildText(first, "RecognitionCount"), QStringLiteral("1"));
    EXPECT_EQ(ChildText(first, "PersonID"), QStringLiteral("7"));
    EXPECT_EQ(ChildText(first, "ConfidencePercent"), QStringLiteral("87.2"));
    EXPECT_EQ(ChildText(first, "Surname"), QStringLiteral("Петров"));
    EXPECT_EQ(ChildText(first, "Alias"), QStringLiteral("<&'\">"));
    EXPECT_EQ(ChildText(first, "Gender"), QStringLiteral("1"));

    const QDomElement second = first.nextSiblingElement("Person");
    EXPECT_EQ(ChildNames(second), fields + QStringList({"DateOfBirth", "Image"}));
    EXPECT_EQ(ChildText(second, "PersonID"), QStringLiteral("12"));
    EXPECT_EQ(ChildText(second, "ListNum"), QStringLiteral("1"));
    EXPECT_EQ(ChildText(second, "Gender"), QStringLiteral("0"));
    EXPECT_EQ(ChildText(second, "DateOfBirth"), QStringLiteral("1984-03-09"));
    EXPECT_EQ(MaxDifference(DecodeImage(ChildText(second, "Image")), withDate.picture), 0);
}

TEST_F(RequestTest, CharactersXmlForbidsInDatabaseTextsLeaveTheReplyWellFormed) {
    viewport.running = true;
    viewport.cameraName = HostileName();
    viewport.frame = TestFrame(8, 8);
    recognition::SubjectStateRecord subject = Subject(7, 0, HostileName());
    platform::CopyToFixed(subject.person.externalKey, HostileName());
    viewport.subjects = {subject};
    ASSERT_TRUE(Ask(RequestText(CameraInfo(QStringLiteral("ServiceType='2'")))));
    ASSERT_EQ(session.sent.size(), 1u);
    EXPECT_TRUE(StrictlyWellFormed(session.sent[0].text)) << session.sent[0].text.toStdString();
    const QDomElement reply = Reply();
    EXPECT_EQ(reply.firstChildElement("Camera").attribute("Name"), HostileNameAsSent());
    const QDomElement person = reply.firstChildElement("CurrentPersonList").firstChildElement("Person");
    EXPECT_EQ(ChildText(person, "Surname"), HostileNameAsSent());
    EXPECT_EQ(ChildText(person, "ExtKey"), HostileNameAsSent());
    EXPECT_EQ(ChildText(person, "Forename"), QStringLiteral("Иван"));
}

TEST_F(RequestTest, NoFrameYetMeansNoPictureAndNoList) {
    viewport.running = true;
    viewport.subjects = {Subject(7, 0, QStringLiteral("Петров"))};
    ASSERT_TRUE(Ask(RequestText(CameraInfo(QStringLiteral("ServiceType='3'")))));
    const QDomElement reply = Reply();
    EXPECT_EQ(ChildNames(reply), (QStringList{"ErrorCode", "ErrorDescription", "Ostrovid", "Camera"}));
    const QDomElement camera = reply.firstChildElement("Camera");
    EXPECT_EQ(camera.attribute("HRes"), QStringLiteral("0"));
    EXPECT_EQ(camera.attribute("VRes"), QStringLiteral("0"));
    EXPECT_TRUE(camera.firstChildElement("Image").isNull());
}

TEST_F(RequestTest, ViewportThatCannotBeAskedOrProgramEnding) {
    viewport.acceptsRequests = false;
    ASSERT_TRUE(Ask(RequestText(CameraInfo(QStringLiteral("ServiceType='1'")))));
    ExpectError(1002, QStringLiteral("Windows cannot act on SendNotifyMessage"));

    // The viewport keeps the request while the program ends: the session stops waiting, and the
    // viewport's late answer goes into the request it still shares.
    viewport.acceptsRequests = true;
    viewport.holdRequests = true;
    viewport.running = true;
    viewport.frame = TestFrame(16, 16);
    session.sent.clear();
    auto answered =
        std::async(std::launch::async, [&] { return Ask(RequestText(CameraInfo(QStringLiteral("ServiceType='3'")))); });
    EXPECT_EQ(answered.wait_for(100ms), std::future_status::timeout);
    term.Set();
    ASSERT_EQ(answered.wait_for(5s), std::future_status::ready);
    EXPECT_TRUE(answered.get());
    ExpectError(1115, QStringLiteral("Application shutdown in progress"));
    EXPECT_TRUE(log.Lines().contains(QStringLiteral("HandleTcpRequest() Session 5: hTermEvent signaled")));

    // A server stopped while the program goes on: the viewport's thread is the one stopping it, so
    // the request must not wait for its answer either.
    term.Reset();
    session.sent.clear();
    auto stopped =
        std::async(std::launch::async, [&] { return Ask(RequestText(CameraInfo(QStringLiteral("ServiceType='1'")))); });
    EXPECT_EQ(stopped.wait_for(100ms), std::future_status::timeout);
    serverStop.Set();
    ASSERT_EQ(stopped.wait_for(5s), std::future_status::ready);
    EXPECT_TRUE(stopped.get());
    ExpectError(1115, QStringLiteral("Application shutdown in progress"));
    viewport.Release();
}

TEST_F(RequestTest, WrongPasswordAndUnqueuedReply) {
    ASSERT_TRUE(Ask(RequestText(CameraInfo(QStringLiteral("ServiceType='1'")), QStringLiteral("secret"))));
    ExpectError(1, QStringLiteral("Неправильный пароль"));
    EXPECT_EQ(viewport.posted, 0);
    const auto entries = journal.Entries();
    ASSERT_GE(entries.size(), 1u);
    EXPECT_EQ(entries[0].icon, shell::EntryIcon(shell::NotificationIcon::Warning));
    EXPECT_EQ(entries[0].description, QStringLiteral("Неправильный пароль в запросе от 10.0.0.5 (station)"));

    session.acceptsPackets = false;
    EXPECT_FALSE(Ask(RequestText(CameraInfo(QStringLiteral("ServiceType='1'")))));
}

TEST_F(RequestTest, OnlyTheRightPasswordLogsTheSessionInAndWithEveryStationPlaceTakenItEnds) {
    ASSERT_TRUE(Ask(RequestText(CameraInfo(QStringLiteral("ServiceType='2'")), QStringLiteral("guess"))));
    EXPECT_EQ(session.logIns, 0);
    EXPECT_EQ(session.wrongPasswords, 1);
    ASSERT_TRUE(Ask(RequestText(CameraInfo(QStringLiteral("ServiceType='2'")))));
    EXPECT_EQ(session.logIns, 1);

    session.sent.clear();
    session.stationPlaceFree = false;
    EXPECT_FALSE(Ask(RequestText(CameraInfo(QStringLiteral("ServiceType='2'")))));
    EXPECT_TRUE(session.sent.empty());
    EXPECT_EQ(viewport.posted, 1);
}

TEST_F(RequestTest, BrokenDocumentsEndTheSessionWithoutReply) {
    EXPECT_FALSE(Ask(QStringLiteral("<Request><Password>s3cret</Password><Type>CameraInfo</Typ></Request>")));
    EXPECT_FALSE(Ask(QStringLiteral("<SubscribeToEvents><Password>s3cret</Password></SubscribeToEvents>")));
    EXPECT_FALSE(Ask(QStringLiteral("<Request><Type>CameraInfo</Type></Request>")));
    EXPECT_TRUE(session.sent.empty());
    const QStringList lines = log.Lines();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("HandleTcpRequest() Session 5: Ошибка при разборе XML запроса: ")));
    EXPECT_EQ(lines[1],
              QStringLiteral("HandleTcpRequest() Session 5: Корневой элемент XML запроса имеет неправильное имя!"));
    EXPECT_EQ(
        lines[2],
        QStringLiteral("HandleTcpRequest() Session 5: В корневом элементе XML запроса не содержится тег <Password>!"));
}

}  // namespace
