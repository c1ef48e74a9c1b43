#include "app/management/document_handler.h"
#include "documents_test_support.h"

namespace {

using management::DocumentHandler;
using management::ImageFormat;
using management::PacketType;
using management::Subscription;
using management::WhenQueueFull;
using namespace testsupport;

QString SubscriptionText(const QString& fields, const QString& password = QStringLiteral("s3cret")) {
    return QStringLiteral(
               "<?xml version='1.0' encoding='UTF-16'?><SubscribeToEvents><Password>%1</Password>%2"
               "</SubscribeToEvents>")
        .arg(password, fields);
}

class SubscriptionTest : public ::testing::Test {
protected:
    SubscriptionTest() {
        viewport.status = {QStringLiteral("Вход"), camera::CameraState::Works};
        session.subscription = earlier;
    }

    bool Subscribe(const QString& text, bool closingNul = false) {
        return handler.HandleTcpSubscribeToEvents(session, Bytes(PacketData(text, closingNul)));
    }

    // The reply's root, checked to be the only packet or the first of two.
    QDomElement Reply() {
        EXPECT_GE(session.sent.size(), 1u);
        if (session.sent.empty()) return {};
        EXPECT_EQ(session.sent[0].type, PacketType::_S2C_TCP_SUBSCRIBE_REPLY);
        EXPECT_EQ(session.sent[0].whenFull, WhenQueueFull::Wait);
        return ParseRoot(session.sent[0].text);
    }

    LogFile log;
    NotificationSink journal;
    FakeViewport viewport;
    platform::Event term{true, false};
    platform::Event serverStop{true, false};
    DocumentHandler handler{QStringLiteral("s3cret"), journal.journal, viewport, term, serverStop};
    FakeSession session;
    const Subscription earlier{0x02, 0x01, ImageFormat::Bmp};
};

bool operator==(const Subscription& a, const Subscription& b) {
    return a.eventMask == b.eventMask && a.listMask == b.listMask && a.format == b.format;
}

TEST_F(SubscriptionTest, HexEventMaskWithoutListMaskTakesAllListsAndGetsTheCameraStateAtOnce) {
    ASSERT_TRUE(Subscribe(SubscriptionText(QStringLiteral("<EventMask>0x41</EventMask>"))));
    EXPECT_TRUE((session.subscription == Subscription{0x41, 0x07, ImageFormat::Jpeg}));

    ASSERT_EQ(session.sent.size(), 2u);
    const QDomElement reply = Reply();
    EXPECT_TRUE(session.sent[0].text.startsWith(QStringLiteral("<?xml version='1.0' encoding='UTF-16'?>")));
    EXPECT_EQ(reply.tagName(), QStringLiteral("SubscribeToEventsReply"));
    EXPECT_EQ(ChildNames(reply), (QStringList{"ErrorCode", "ErrorDescription", "Ostrovid"}));
    EXPECT_TRUE(reply.firstChildElement("ErrorCode").firstChild().isNull());
    EXPECT_TRUE(reply.firstChildElement("ErrorDescription").firstChild().isNull());
    const QDomElement version = reply.firstChildElement("Ostrovid");
    EXPECT_EQ(ChildNames(version), (QStringList{"MajorVersion", "MinorVersion", "BuildVersion"}));
    EXPECT_EQ(
        ChildText(version, "MajorVersion") + ChildText(version, "MinorVersion") + ChildText(version, "BuildVersion"),
        QStringLiteral("220"));

    EXPECT_EQ(session.sent[1].type, PacketType::_S2C_TCP_EVENT);
    EXPECT_EQ(session.sent[1].whenFull, WhenQueueFull::Wait);
    const QDomElement event = ParseRoot(session.sent[1].text);
    EXPECT_EQ(ChildText(event, "Type"), QStringLiteral("1"));
    const QDomElement camera = event.firstChildElement("Camera");
    EXPECT_EQ(camera.attribute("Number"), QStringLiteral("0"));
    EXPECT_EQ(ChildNames(camera), (QStringList{"Name", "State", "Operation"}));
    EXPECT_EQ(ChildText(camera, "Name"), QStringLiteral("Вход"));
    EXPECT_EQ(ChildText(camera, "State"), QStringLiteral("WORKS"));
    EXPECT_EQ(ChildText(camera, "Operation"), QStringLiteral("0"));

    const auto entries = journal.Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].icon, shell::EntryIcon(shell::NotificationIcon::Information));
    EXPECT_EQ(entries[0].description, QStringLiteral("Отправка ответа (подписка на события) на 10.0.0.5 (station)"));
}

struct RefusedCase {
    const char* fields;
    int code;
    const char* description;
    bool cameraStateNow;  // bit 0 was read before the refusal
};

TEST_F(SubscriptionTest, RefusedSubscriptionsKeepTheEarlierOneAndAreAnsweredWithTheirCode) {
    const RefusedCase cases[] = {
        {"", 2, "Неправильная структура XML запроса. Отсутствует тег <EventMask>.", false},
        {"<eventmask>1</eventmask>", 2, "Неправильная структура XML запроса. Отсутствует тег <EventMask>.", false},
        {"<EventMask>128</EventMask>", 3, "Неверно задан параметр маски событий (EventMask)", false},
        {"<EventMask>0</EventMask>", 3, "Неверно задан параметр маски событий (EventMask)", false},
        {"<EventMask>-1</EventMask>", 3, "Неверно задан параметр маски событий (EventMask)", false},
        {"<EventMask>0x</EventMask>", 3, "Неверно задан параметр маски событий (EventMask)", false},
        {"<EventMask>4294967297</EventMask>", 3, "Неверно задан параметр маски событий (EventMask)", false},
        {"<EventMask>4</EventMask>", 4, "Неправильная структура XML запроса. Отсутствует тег <ListMask>.", false},
        {"<EventMask>0x21</EventMask>", 4, "Неправильная структура XML запроса. Отсутствует тег <ListMask>.", true},
        {"<EventMask>5</EventMask><ListMask>8</ListMask>", 4, "Неверно задан параметр маски списков учета (ListMask)",
         true},
        {"<EventMask>2</EventMask><ListMask>green</ListMask>", 4,
         "Неверно задан параметр маски списков учета (ListMask)", false},
        {"<EventMask>1</EventMask><PreferredImgFormat>3</PreferredImgFormat>", 4,
         "Неверно задан параметр предпочтительного формата графических файлов (PreferredImgFormat)", true},
        {"<EventMask>2</EventMask><PreferredImgFormat>0x1</PreferredImgFormat>", 4,
         "Неверно задан параметр предпочтительного формата графических файлов (PreferredImgFormat)", false},
    };
    for (const RefusedCase& c : cases) {
        SCOPED_TRACE(c.fields);
        session.sent.clear();
        ASSERT_TRUE(Subscribe(SubscriptionText(QString::fromUtf8(c.fields))));
        EXPECT_EQ(session.subscriptionWrites, 0);
        EXPECT_TRUE(session.subscription == earlier);
        const QDomElement reply = Reply();
        EXPECT_EQ(ChildText(reply, "ErrorCode"), QString::number(c.code));
        EXPECT_EQ(ChildText(reply, "ErrorDescription"), QString::fromUtf8(c.description));
        ASSERT_EQ(session.sent.size(), c.cameraStateNow ? 2u : 1u);
        if (c.cameraStateNow) {
            EXPECT_EQ(ChildText(ParseRoot(session.sent[1].text), "Type"), QStringLiteral("1"));
        }
    }
}

TEST_F(SubscriptionTest, AcceptedForms) {
    struct Accepted {
        const char* fields;
        Subscription result;
    };
    const Accepted cases[] = {
        {"<EventMask> 0X7F </EventMask><ListMask>0xFA</ListMask><PreferredImgFormat>1</PreferredImgFormat>",
         {0x7F, 0x02, ImageFormat::Png}},
        {"<EventMask>0x2C2</EventMask><ListMask>12</ListMask><PreferredImgFormat>2</PreferredImgFormat>",
         {0x42, 0x04, ImageFormat::Bmp}},
        // The first of repeated elements counts.
        {"<EventMask>2</EventMask><EventMask>x</EventMask><ListMask>1</ListMask><ListMask>0</ListMask>",
         {0x02, 0x01, ImageFormat::Jpeg}},
    };
    for (const Accepted& c : cases) {
        SCOPED_TRACE(c.fields);
        session.sent.clear();
        ASSERT_TRUE(Subscribe(SubscriptionText(QString::fromUtf8(c.fields))));
        EXPECT_TRUE(session.subscription == c.result);
        EXPECT_EQ(ChildText(Reply(), "ErrorCode"), QString());
    }
}

TEST_F(SubscriptionTest, WrongPasswordIsAnsweredAndTheSessionMayTryAgain) {
    ASSERT_TRUE(Subscribe(SubscriptionText(QStringLiteral("<EventMask>1</EventMask>"), QStringLiteral("S3cret"))));
    ASSERT_EQ(session.sent.size(), 1u);  // no state event without the password
    EXPECT_EQ(ChildText(Reply(), "ErrorCode"), QStringLiteral("1"));
    EXPECT_EQ(ChildText(Reply(), "ErrorDescription"), QStringLiteral("Неправильный пароль"));
    EXPECT_TRUE(session.subscription == earlier);
    auto entries = journal.Entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].icon, shell::EntryIcon(shell::NotificationIcon::Warning));
    EXPECT_EQ(entries[0].description,
              QStringLiteral("Неправильный пароль в запросе подписки на события от 10.0.0.5 (station)"));
    for (const QString& line : log.Lines()) EXPECT_FALSE(line.contains(QStringLiteral("s3cret")));

    session.sent.clear();
    ASSERT_TRUE(Subscribe(SubscriptionText(QStringLiteral("<EventMask>2</EventMask>"))));
    EXPECT_EQ(ChildText(Reply(), "ErrorCode"), QString());
    EXPECT_TRUE((session.subscription == Subscription{0x02, 0x07, ImageFormat::Jpeg}));

    // Longer, shorter and padded passwords are wrong too.
    for (const QString& password : {QStringLiteral("s3cret "), QStringLiteral("s3cre"), QStringLiteral("s3cret0")}) {
        session.sent.clear();
        ASSERT_TRUE(Subscribe(SubscriptionText(QStringLiteral("<EventMask>2</EventMask>"), password)));
        EXPECT_EQ(ChildText(Reply(), "ErrorCode"), QStringLiteral("1"));
    }
}

TEST(SubscriptionPasswordTest, AnEmptyPasswordElementMatchesAnEmptyPassword) {
    NotificationSink journal;
    FakeViewport viewport;
    platform::Event term{true, false};
    platform::Event serverStop{true, false};
    DocumentHandler handler{QString(), journal.journal, viewport, term, serverStop};
    FakeSession session;
    for (const char* password : {"<Password/>", "<Password></Password>"}) {
        session.sent.clear();
        const QString text = QStringLiteral("<SubscribeToEvents>%1<EventMask>2</EventMask></SubscribeToEvents>")
                                 .arg(QString::fromUtf8(password));
        ASSERT_TRUE(handler.HandleTcpSubscribeToEvents(session, Bytes(PacketData(text))));
        EXPECT_EQ(ChildText(ParseRoot(session.sent.at(0).text), "ErrorCode"), QString());
    }
}

TEST_F(SubscriptionTest, TextOfAnyByteLengthWithAClosingNul) {
    const QString text = SubscriptionText(QStringLiteral("<EventMask>2</EventMask>"));
    ASSERT_TRUE(Subscribe(text, true));
    QByteArray odd = PacketData(text, true);
    odd.append('\x7F');  // half a character
    session.sent.clear();
    ASSERT_TRUE(handler.HandleTcpSubscribeToEvents(session, Bytes(odd)));
    EXPECT_EQ(ChildText(Reply(), "ErrorCode"), QString());
    // The root's name in any letter case.
    session.sent.clear();
    ASSERT_TRUE(
        Subscribe(QStringLiteral("<subscribetoevents><Password>s3cret</Password><EventMask>2</EventMask>"
                                 "</subscribetoevents>")));
    EXPECT_EQ(ChildText(Reply(), "ErrorCode"), QString());
}

TEST_F(SubscriptionTest, DocumentsWithoutTheRightStructureEndTheSessionWithoutReply) {
    struct Broken {
        QByteArray data;
        QString logLine;
    };
    const QString prefix = QStringLiteral("HandleTcpSubscribeToEvents() Session 3: ");
    const QString structurePrefix = QStringLiteral("HandleTcpRequest() Session 3: ");
    const Broken cases[] = {
        {PacketData(QStringLiteral("<SubscribeToEvents><Password>s3cret</Password>")),
         prefix + QStringLiteral("Ошибка при разборе XML запроса: Premature end of document.")},
        {PacketData(QStringLiteral("<Request><Password>s3cret</Password><EventMask>1</EventMask></Request>")),
         structurePrefix + QStringLiteral("Корневой элемент XML запроса имеет неправильное имя!")},
        {PacketData(QStringLiteral("<SubscribeToEvents><password>s3cret</password><EventMask>1</EventMask>"
                                   "</SubscribeToEvents>")),
         structurePrefix + QStringLiteral("В корневом элементе XML запроса не содержится тег <Password>!")},
        {QByteArray(),
         structurePrefix + QStringLiteral("Тело запроса не является XML документом допустимого формата!")},
        {QByteArray(6, '\0'),
         structurePrefix + QStringLiteral("Тело запроса не является XML документом допустимого формата!")},
    };
    for (const Broken& c : cases) {
        SCOPED_TRACE(c.logLine.toStdString());
        EXPECT_FALSE(handler.HandleTcpSubscribeToEvents(session, Bytes(c.data)));
        EXPECT_TRUE(session.sent.empty());
        EXPECT_TRUE(log.Lines().contains(c.logLine)) << log.Lines().join('\n').toStdString();
    }
    EXPECT_TRUE(journal.Entries().empty());
}

TEST_F(SubscriptionTest, AReplyThatCannotBeQueuedEndsTheSession) {
    session.acceptsPackets = false;
    EXPECT_FALSE(Subscribe(SubscriptionText(QStringLiteral("<EventMask>1</EventMask>"))));
    EXPECT_TRUE(journal.Entries().empty());
}

}  // namespace
