// The request the program writes and the reply it reads, against byte images made by hand.

#include "app/actions/velox_request.h"
#include "platform/fixedtext.h"
#include "tests/unit/velox/block_image.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using actions::ActionType;
using actions::ScriptRequest;
using settings::channel::ChannelArea;
using velotest::ByteImage;

ScriptRequest Head() {
    ScriptRequest request;
    request.head.timeout = 7;
    request.head.allowUI = 1;
    request.head.scriptType = 1;
    platform::CopyToFixed(request.head.scriptFile, u"/opt/s.js");
    platform::CopyToFixed(request.head.eventName, u"RecognizedPerson");
    request.head.eventTime = 46000.5;
    platform::CopyToFixed(request.head.cameraName, u"Вход");
    return request;
}

void ExpectHead(ByteImage& image, uint32_t type, uint32_t length) {
    image.U32(0, type);
    image.U32(4, length);
    image.U32(8, 7);
    image.U32(12, 1);
    image.U32(16, 1);
    image.Text(20, u"/opt/s.js");
    image.Text(1060, u"RecognizedPerson");
    image.F64(1572, 46000.5);
    image.Text(1580, u"Вход");
}

std::vector<uint8_t> Written(ActionType type, const ScriptRequest& request) {
    // Stale bytes of an earlier use must not leak into the request.
    std::vector<uint8_t> block(65536, 0xAB);
    ChannelArea area(block.data(), block.size());
    actions::WriteVeloxRequest(area, type, request);
    const size_t size = type == ActionType::RecognizedScript ? 2736 : 18336;
    std::fill(block.begin() + ptrdiff_t(size), block.end(), 0);
    return block;
}

TEST(VeloxRequest, RecognizedPersonMatchesTheByteImage) {
    ScriptRequest request = Head();
    actions::RecognizedScriptForm form;
    form.personId = 4711;
    form.confidence = 87.25;
    form.person.listNumber = 1;
    platform::CopyToFixed(form.person.surname, u"Иванов");
    platform::CopyToFixed(form.person.forename, u"Пётр");
    platform::CopyToFixed(form.person.secondName, u"Сергеевич");
    platform::CopyToFixed(form.person.alias, u"PS");
    platform::CopyToFixed(form.person.externalKey, u"K-9");
    form.person.gender = 1;
    form.person.dateOfBirth = 30000.0;
    platform::CopyToFixed(form.person.speech, u"never sent");
    platform::CopyToFixed(form.imageFile, u"/tmp/ostv{X}.jpg");
    request.form = form;

    ByteImage image;
    ExpectHead(image, 1, 2728);
    image.U32(1708, 4711);
    image.F64(1712, 87.25);
    image.U32(1720, 1);
    image.Text(1724, u"Иванов");
    image.Text(1852, u"Пётр");
    image.Text(1980, u"Сергеевич");
    image.Text(2108, u"PS");
    image.Text(2140, u"K-9");
    image.U32(2204, 1);
    image.F64(2208, 30000.0);
    image.Text(2216, u"/tmp/ostv{X}.jpg");
    EXPECT_EQ(Written(ActionType::RecognizedScript, request), image.bytes);
}

TEST(VeloxRequest, FullFieldsAreCutToLeaveTheirTerminator) {
    ScriptRequest request = Head();
    actions::RecognizedScriptForm form;
    // Every unit used, no terminator in memory: the block still gets one and the next field
    // is untouched.
    std::fill(std::begin(form.person.surname), std::end(form.person.surname), u'Ж');
    std::fill(std::begin(form.person.alias), std::end(form.person.alias), u'a');
    std::fill(std::begin(form.imageFile), std::end(form.imageFile), u'p');
    std::fill(std::begin(request.head.cameraName), std::end(request.head.cameraName), u'c');
    request.form = form;

    ByteImage image;
    ExpectHead(image, 1, 2728);
    image.Text(1580, std::u16string(63, u'c'));
    image.Text(1724, std::u16string(63, u'Ж'));
    image.Text(2108, std::u16string(15, u'a'));
    image.Text(2216, std::u16string(259, u'p'));
    EXPECT_EQ(Written(ActionType::RecognizedScript, request), image.bytes);
}

TEST(VeloxRequest, UnrecognizedPersonWithThreeImagesLeavesTheOtherEntriesZero) {
    ScriptRequest request = Head();
    actions::UnrecognizedScriptForm form;
    form.firstSeen = 45999.25;
    form.imageCount = 3;
    for (int i = 0; i < 30; ++i) {
        form.rectangles[i] = {10 * i + 1, 10 * i + 2, 10 * i + 3, -(10 * i + 4)};
        platform::CopyToFixed(form.imageFiles[i], QStringLiteral("/tmp/f%1.png").arg(i));
    }
    request.form = form;

    ByteImage image;
    ExpectHead(image, 2, 18328);
    image.F64(1708, 45999.25);
    image.U32(1716, 3);
    for (uint32_t i = 0; i < 3; ++i) {
        image.U32(1720 + 16 * i, 10 * i + 1);
        image.U32(1724 + 16 * i, 10 * i + 2);
        image.U32(1728 + 16 * i, 10 * i + 3);
        image.U32(1732 + 16 * i, uint32_t(-int32_t(10 * i + 4)));
        image.Text(2216 + 520 * i, QStringLiteral("/tmp/f%1.png").arg(i).toStdU16String());
    }
    EXPECT_EQ(Written(ActionType::UnrecognizedScript, request), image.bytes);
}

TEST(VeloxReply, IsReadAtItsOffsets) {
    ByteImage image;
    image.U32(0, 0);
    image.U32(4, 0xFFFFFFFF);
    image.U32(8, 5);
    image.Text(12, u"Ошибка в строке 3");
    ChannelArea area(image.bytes.data(), image.bytes.size());
    actions::VeloxReply reply = actions::ReadVeloxReply(area);
    EXPECT_EQ(reply.packetType, 0u);
    EXPECT_EQ(reply.resultCode, 5u);
    EXPECT_EQ(reply.text, QStringLiteral("Ошибка в строке 3"));

    // The request still in place: no reply, whatever the rest holds.
    image.U32(0, 2);
    reply = actions::ReadVeloxReply(area);
    EXPECT_EQ(reply.packetType, 2u);
    EXPECT_TRUE(reply.text.isEmpty());

    // A text without terminator ends with the block.
    image.U32(0, 0);
    std::fill(image.bytes.begin() + 12, image.bytes.end(), uint8_t('z'));
    reply = actions::ReadVeloxReply(area);
    EXPECT_EQ(reply.text.size(), (65536 - 12) / 2);
}

TEST(VeloxWaitLimit, NoneForZeroOrLessElseTwiceTheTimeoutButAtLeastTenSeconds) {
    using std::chrono::milliseconds;
    EXPECT_EQ(actions::VeloxWaitLimit(-1), std::nullopt);
    EXPECT_EQ(actions::VeloxWaitLimit(0), std::nullopt);
    EXPECT_EQ(actions::VeloxWaitLimit(-7), std::nullopt);
    EXPECT_EQ(actions::VeloxWaitLimit(1), milliseconds(10000));
    EXPECT_EQ(actions::VeloxWaitLimit(3), milliseconds(10000));
    EXPECT_EQ(actions::VeloxWaitLimit(5), milliseconds(10000));
    EXPECT_EQ(actions::VeloxWaitLimit(6), milliseconds(12000));
    EXPECT_EQ(actions::VeloxWaitLimit(60), milliseconds(120000));
    EXPECT_EQ(actions::VeloxWaitLimit(2147483647), milliseconds(int64_t(2147483647) * 2000));
}

}  // namespace
