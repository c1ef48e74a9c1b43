// The runner's reading of the block: a hand-made request arrives field by field, and blocks that
// make no sense are refused without reading beyond the block.

#include "tests/unit/velox/block_image.h"
#include "velox/script_event.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QJsonArray>

#include <random>

namespace {

using settings::channel::ChannelArea;
using velotest::ByteImage;

ByteImage UnrecognizedImage() {
    ByteImage image;
    image.U32(0, 2);
    image.U32(4, 18328);
    image.U32(8, uint32_t(-1));
    image.U32(16, 0);
    image.Text(20, u"/opt/hook.sh");
    image.Text(1060, u"UnrecognizedPerson");
    image.F64(1572, 46000.5);  // 2025-12-09 12:00
    image.Text(1580, u"Двор");
    image.F64(1708, 46000.25);
    image.U32(1716, 2);
    image.U32(1720 + 16, 5);
    image.U32(1724 + 16, 6);
    image.U32(1728 + 16, 70);
    image.U32(1732 + 16, 80);
    image.Text(2216, u"/tmp/a.jpg");
    image.Text(2216 + 520, u"/tmp/b.jpg");
    return image;
}

std::optional<velox::ScriptEvent> Decode(ByteImage& image, QString* error) {
    return velox::DecodeRequest(ChannelArea(image.bytes.data(), image.bytes.size()), error);
}

TEST(VeloxRequestParse, HandMadeRequestsArriveFieldByField) {
    ByteImage image = UnrecognizedImage();
    QString error;
    auto event = Decode(image, &error);
    ASSERT_TRUE(event) << error.toStdString();
    EXPECT_EQ(event->timeout, -1);
    EXPECT_EQ(event->scriptType, velox::ScriptType::Executable);
    EXPECT_EQ(event->scriptFile, QStringLiteral("/opt/hook.sh"));
    EXPECT_EQ(event->cameraName, QStringLiteral("Двор"));
    ASSERT_EQ(event->images.size(), 2u);
    EXPECT_EQ(event->images[1].file, QStringLiteral("/tmp/b.jpg"));
    EXPECT_EQ(event->images[1].width, 70);

    const QJsonObject json = velox::EventJson(*event);
    EXPECT_EQ(json[QStringLiteral("eventTime")].toString(), QStringLiteral("2025-12-09T12:00:00.000"));
    EXPECT_EQ(json[QStringLiteral("firstSeen")].toString(), QStringLiteral("2025-12-09T06:00:00.000"));
    EXPECT_EQ(json[QStringLiteral("images")].toArray()[1].toObject()[QStringLiteral("height")].toInt(), 80);
    const QStringList environment = velox::EventEnvironment(*event);
    EXPECT_TRUE(environment.contains(QStringLiteral("OSTROVID_CAMERA_NAME=Двор")));
    EXPECT_TRUE(environment.contains(QStringLiteral("OSTROVID_IMAGE_COUNT=2")));
    EXPECT_TRUE(environment.contains(QStringLiteral("OSTROVID_IMAGE_1_X=5")));
    EXPECT_TRUE(environment.contains(QStringLiteral("OSTROVID_EVENT_TIME=2025-12-09T12:00:00.000")));

    ByteImage recognized;
    recognized.U32(0, 1);
    recognized.U32(4, 2728);
    recognized.U32(16, 1);
    recognized.U32(1708, 12);
    recognized.F64(1712, 99.5);
    recognized.Text(1724, std::u16string(64, u'Ж'));  // no terminator: ends with its field
    recognized.Text(1852, u"Анна");
    recognized.F64(2208, 0);
    event = Decode(recognized, &error);
    ASSERT_TRUE(event);
    EXPECT_EQ(event->surname, QString(64, QChar(u'Ж')));
    EXPECT_EQ(event->forename, QStringLiteral("Анна"));
    EXPECT_TRUE(velox::EventJson(*event)[QStringLiteral("dateOfBirth")].isNull());
    EXPECT_TRUE(velox::EventEnvironment(*event).contains(QStringLiteral("OSTROVID_PERSON_ID=12")));

    // Dates no calendar holds read as none.
    recognized.F64(1572, 1e300);
    recognized.F64(2208, -1e18);
    event = Decode(recognized, &error);
    ASSERT_TRUE(event);
    EXPECT_TRUE(velox::EventJson(*event)[QStringLiteral("eventTime")].isNull());
    EXPECT_TRUE(velox::EventJson(*event)[QStringLiteral("dateOfBirth")].isNull());
}

TEST(VeloxRequestParse, RefusesBlocksThatHoldNoRequest) {
    QString error;
    ByteImage image = UnrecognizedImage();
    image.U32(4, 2728);  // the other type's length
    EXPECT_FALSE(Decode(image, &error));
    image = UnrecognizedImage();
    image.U32(0, 0);  // a reply
    EXPECT_FALSE(Decode(image, &error));
    image = UnrecognizedImage();
    image.U32(16, 2);
    EXPECT_FALSE(Decode(image, &error));
    image = UnrecognizedImage();
    image.U32(1716, 32);
    EXPECT_FALSE(Decode(image, &error));
    image.U32(1716, 0xFFFFFFFF);
    EXPECT_FALSE(Decode(image, &error));
    image.U32(1716, 31);  // the room of the block
    EXPECT_TRUE(Decode(image, &error));
    ByteImage empty;
    EXPECT_FALSE(Decode(empty, &error));
    std::vector<uint8_t> shortBlock(100, 0);
    EXPECT_FALSE(velox::DecodeRequest(ChannelArea(shortBlock.data(), shortBlock.size()), &error));
}

TEST(VeloxRequestParse, SurvivesGarbage) {
    std::mt19937 random(4711);
    for (int round = 0; round < 2000; ++round) {
        ByteImage image;
        for (uint8_t& byte : image.bytes) byte = uint8_t(random());
        if (round % 2 == 0) {
            image.U32(0, 2);
            image.U32(4, 18328);
            image.U32(16, round % 4 == 0 ? 1 : 0);
            image.U32(1716, uint32_t(random() % 32));
        } else {
            image.U32(0, 1);
            image.U32(4, 2728);
            image.U32(16, 1);
        }
        QString error;
        const auto event = Decode(image, &error);
        ASSERT_TRUE(event);
        // Every text stays within its field.
        EXPECT_LE(event->scriptFile.size(), 520);
        EXPECT_LE(event->surname.size(), 64);
        for (const velox::ScriptImage& picture : event->images) EXPECT_LE(picture.file.size(), 260);
        velox::EventJson(*event);
        velox::EventEnvironment(*event);
    }
}

}  // namespace
