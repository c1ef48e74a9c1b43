#include "app/management/event_broadcaster.h"
#include "app/management/face_picture.h"
#include "documents_test_support.h"

#include <opencv2/imgproc.hpp>

namespace {

using management::EventBroadcaster;
using management::ImageFormat;
using management::PacketType;
using management::Subscription;
using management::WhenQueueFull;
using namespace testsupport;

class EventTest : public ::testing::Test {
protected:
    // A session in the table with that subscription.
    FakeSession& Add(Subscription subscription) {
        sessions_.push_back(std::make_unique<FakeSession>(int(sessions_.size())));
        sessions_.back()->subscription = subscription;
        table.sessions.push_back(sessions_.back().get());
        return *sessions_.back();
    }

    // The events each session got since the last call, as their roots; every one was queued so
    // that a full ring drops it.
    std::vector<QDomElement> Take(FakeSession& session) {
        std::vector<QDomElement> roots;
        for (const SentPacket& packet : session.sent) {
            EXPECT_EQ(packet.type, PacketType::_S2C_TCP_EVENT);
            EXPECT_EQ(packet.whenFull, WhenQueueFull::Drop);
            EXPECT_TRUE(packet.text.startsWith(QStringLiteral("<?xml version='1.0' encoding='UTF-16'?>")));
            roots.push_back(ParseRoot(packet.text));
        }
        session.sent.clear();
        return roots;
    }

    static recognition::RecognitionReport Report(const recognition::PersonFields& person, const cv::Mat* picture) {
        return {17, 91.2345, 42, &person, picture, 3};
    }

    FakeSessionTable table;
    EventBroadcaster events{table};

private:
    std::vector<std::unique_ptr<FakeSession>> sessions_;
};

recognition::PersonFields Person(uint32_t list) {
    recognition::PersonFields person;
    person.listNumber = list;
    platform::CopyToFixed(person.surname, QStringLiteral("Иванов"));
    platform::CopyToFixed(person.forename, QStringLiteral("Пётр"));
    platform::CopyToFixed(person.secondName, QStringLiteral("Ильич"));
    platform::CopyToFixed(person.alias, QStringLiteral("П&И"));
    platform::CopyToFixed(person.externalKey, QStringLiteral("EXT-1"));
    person.gender = 1;
    return person;
}

TEST_F(EventTest, RecognizedPersonsGoToTheSessionsWatchingTheirList) {
    FakeSession& redOnly = Add({0x04, 0x02, ImageFormat::Png});
    FakeSession& allLists = Add({0x7F, 0x07, ImageFormat::Png});
    FakeSession& updatesOnly = Add({0x08, 0x07, ImageFormat::Png});
    const cv::Mat face(30, 20, CV_8UC3, cv::Scalar(10, 200, 30));

    const recognition::PersonFields green = Person(0);
    events.BroadcastPersonRecognized(QStringLiteral("Вход"), Report(green, &face));
    EXPECT_TRUE(Take(redOnly).empty());
    EXPECT_TRUE(Take(updatesOnly).empty());
    ASSERT_EQ(Take(allLists).size(), 1u);

    recognition::PersonFields red = Person(1);
    red.dateOfBirth = 30000.5;
    events.BroadcastPersonRecognized(QStringLiteral("Вход"), Report(red, &face));
    const auto seen = Take(redOnly);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(Take(allLists).size(), 1u);
    const QDomElement event = seen[0];
    EXPECT_EQ(event.tagName(), QStringLiteral("OstrovidEvent"));
    EXPECT_EQ(ChildNames(event), (QStringList{"Type", "Camera", "KeyNumber", "Person", "Image"}));
    EXPECT_EQ(ChildText(event, "Type"), QStringLiteral("3"));
    const QDomElement camera = event.firstChildElement("Camera");
    EXPECT_EQ(camera.attribute("Number"), QStringLiteral("0"));
    EXPECT_EQ(camera.attribute("Name"), QStringLiteral("Вход"));
    EXPECT_EQ(ChildText(event, "KeyNumber"), QStringLiteral("17"));
    const QDomElement person = event.firstChildElement("Person");
    const std::pair<const char*, QString> attributes[] = {
        {"ID", "42"},         {"Confidence", "91.234"},     {"ListNum", "1"},     {"Surname", "Иванов"},
        {"Forename", "Пётр"}, {"Secondname", "Ильич"},      {"Alias", "П&И"},     {"ExtKey", "EXT-1"},
        {"Gender", "1"},      {"DateOfBirth", "30000.500"}, {"RepeatCount", "3"},
    };
    EXPECT_EQ(person.attributes().count(), int(std::size(attributes)));
    for (const auto& [name, value] : attributes) EXPECT_EQ(person.attribute(name), value) << name;
    EXPECT_EQ(MaxDifference(DecodeImage(ChildText(event, "Image")), face), 0);

    // Type 4 by its own bit; a person without a date of birth has "0.000".
    events.BroadcastPersonUpdated(QStringLiteral("Вход"), Report(green, nullptr));
    EXPECT_TRUE(Take(redOnly).empty());
    const auto updated = Take(updatesOnly);
    ASSERT_EQ(updated.size(), 1u);
    EXPECT_EQ(ChildText(updated[0], "Type"), QStringLiteral("4"));
    EXPECT_EQ(updated[0].firstChildElement("Person").attribute("DateOfBirth"), QStringLiteral("0.000"));
    EXPECT_TRUE(updated[0].firstChildElement("Image").isNull());
    EXPECT_EQ(Take(allLists).size(), 1u);
}

TEST_F(EventTest, PersonChangeCountsForTheNewAndTheOldList) {
    FakeSession& greenWatcher = Add({0x10, 0x01, ImageFormat::Jpeg});
    FakeSession& other = Add({0x6F, 0x07, ImageFormat::Jpeg});

    events.BroadcastPersonChanged(QStringLiteral("Вход"), {9, 101, 2, 77.5, 100, 0, 66.0625});
    auto seen = Take(greenWatcher);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(ChildNames(seen[0]), (QStringList{"Type", "Camera", "KeyNumber", "Person", "OldPerson"}));
    EXPECT_EQ(ChildText(seen[0], "Type"), QStringLiteral("5"));
    const QDomElement person = seen[0].firstChildElement("Person");
    EXPECT_EQ(person.attributes().count(), 3);
    EXPECT_EQ(person.attribute("ID") + " " + person.attribute("Confidence") + " " + person.attribute("ListNum"),
              QStringLiteral("101 77.500 2"));
    const QDomElement old = seen[0].firstChildElement("OldPerson");
    EXPECT_EQ(old.attribute("ID") + " " + old.attribute("Confidence") + " " + old.attribute("ListNum"),
              QStringLiteral("100 66.062 0"));

    events.BroadcastPersonChanged(QStringLiteral("Вход"), {9, 100, 0, 80, 101, 2, 77.5});
    EXPECT_EQ(Take(greenWatcher).size(), 1u);
    events.BroadcastPersonChanged(QStringLiteral("Вход"), {9, 102, 1, 80, 101, 2, 77.5});
    EXPECT_TRUE(Take(greenWatcher).empty());
    EXPECT_TRUE(Take(other).empty());
}

TEST_F(EventTest, NewFacePictureIsTheSameInEveryFormat) {
    FakeSession& jpeg = Add({0x02, 0x07, ImageFormat::Jpeg});
    FakeSession& png = Add({0x02, 0x07, ImageFormat::Png});
    FakeSession& bmp = Add({0x03, 0x07, ImageFormat::Bmp});
    FakeSession& none = Add({0x7D, 0x07, ImageFormat::Png});
    // A smooth picture, so that JPEG at quality 100 stays close to it.
    cv::Mat frame(240, 320, CV_8UC3);
    for (int y = 0; y < frame.rows; ++y)
        for (int x = 0; x < frame.cols; ++x) frame.at<cv::Vec3b>(y, x) = cv::Vec3b(uchar(x / 2), uchar(y), 128);
    const recognition::FrameFace face{100, 60, 80, 100};

    events.BroadcastFaceDetected(QStringLiteral("Вход"), 23, frame, face);
    EXPECT_TRUE(Take(none).empty());
    const auto fromPng = Take(png);
    ASSERT_EQ(fromPng.size(), 1u);
    const QDomElement event = fromPng[0];
    EXPECT_EQ(ChildNames(event), (QStringList{"Type", "Camera", "Rect", "KeyNumber", "Image"}));
    EXPECT_EQ(ChildText(event, "Type"), QStringLiteral("2"));
    const QDomElement rect = event.firstChildElement("Rect");
    EXPECT_EQ(rect.attribute("X") + "," + rect.attribute("Y") + "," + rect.attribute("W") + "," + rect.attribute("H"),
              QStringLiteral("100,60,80,100"));
    EXPECT_EQ(ChildText(event, "KeyNumber"), QStringLiteral("23"));

    cv::Mat expected;
    cv::resize(frame(cv::Rect(100, 60, 80, 100)), expected, cv::Size(150, 150), 0, 0, cv::INTER_LINEAR);
    const cv::Mat lossless = DecodeImage(ChildText(event, "Image"));
    EXPECT_EQ(MaxDifference(lossless, expected), 0);
    EXPECT_EQ(MaxDifference(DecodeImage(ChildText(Take(bmp).at(0), "Image")), lossless), 0);
    const cv::Mat fromJpeg = DecodeImage(ChildText(Take(jpeg).at(0), "Image"));
    ASSERT_EQ(fromJpeg.size(), cv::Size(150, 150));
    EXPECT_LE(MaxDifference(fromJpeg, lossless), 4);
}

TEST_F(EventTest, FaceBeyondTheFrameEdgeIsBlackThere) {
    const cv::Mat frame(100, 200, CV_8UC3, cv::Scalar(255, 255, 255));
    // Half of the rectangle lies right of the frame, a quarter above it.
    const cv::Mat picture = management::FacePicture(frame, {150, -25, 100, 100});
    ASSERT_EQ(picture.size(), cv::Size(150, 150));
    ASSERT_EQ(picture.type(), frame.type());
    auto at = [&](int x, int y) { return picture.at<cv::Vec3b>(y, x); };
    EXPECT_EQ(at(10, 100), cv::Vec3b(255, 255, 255));
    EXPECT_EQ(at(140, 100), cv::Vec3b(0, 0, 0));
    EXPECT_EQ(at(10, 10), cv::Vec3b(0, 0, 0));
    EXPECT_EQ(cv::countNonZero(picture.reshape(1).colRange(0, 72 * 3).rowRange(40, 150) != 255), 0);
    EXPECT_EQ(cv::countNonZero(picture.reshape(1).colRange(78 * 3, 150 * 3)), 0);

    const cv::Mat gray(100, 200, CV_8UC1, cv::Scalar(200));
    EXPECT_EQ(management::FacePicture(gray, {-500, 0, 100, 50}).type(), CV_8UC1);
    EXPECT_EQ(cv::countNonZero(management::FacePicture(gray, {-500, 0, 100, 50})), 0);
    EXPECT_TRUE(management::FacePicture(gray, {0, 0, 0, 10}).empty());
}

TEST_F(EventTest, CameraStateAndPresenceEndGoByTheirBits) {
    FakeSession& states = Add({0x01, 0x07, ImageFormat::Jpeg});
    FakeSession& grayPresence = Add({0x20, 0x04, ImageFormat::Jpeg});
    FakeSession& facePresence = Add({0x40, 0x01, ImageFormat::Png});
    FakeSession& full = Add({0x7F, 0x07, ImageFormat::Bmp});
    full.acceptsPackets = false;  // a client that stopped reading

    events.BroadcastCameraState(QStringLiteral("Вход"), camera::CameraState::Iddle, 0);
    auto seen = Take(states);
    ASSERT_EQ(seen.size(), 1u);
    const QDomElement camera = seen[0].firstChildElement("Camera");
    EXPECT_EQ(ChildNames(seen[0]), (QStringList{"Type", "Camera"}));
    EXPECT_EQ(ChildText(camera, "Name") + " " + ChildText(camera, "State") + " " + ChildText(camera, "Operation"),
              QStringLiteral("Вход IDDLE 0"));
    EXPECT_TRUE(camera.attribute("Name").isEmpty());
    EXPECT_TRUE(Take(grayPresence).empty());
    EXPECT_TRUE(Take(facePresence).empty());
    events.BroadcastCameraState(QStringLiteral("Вход"), camera::CameraState::Works, 4);
    EXPECT_EQ(ChildText(Take(states).at(0).firstChildElement("Camera"), "State"), QStringLiteral("WORKS"));

    events.BroadcastPresenceEnded(QStringLiteral("Вход"), 31, 55, 2, 12.3456);
    seen = Take(grayPresence);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(ChildNames(seen[0]), (QStringList{"Type", "Camera", "KeyNumber", "Person"}));
    EXPECT_EQ(ChildText(seen[0], "Type"), QStringLiteral("6"));
    const QDomElement person = seen[0].firstChildElement("Person");
    EXPECT_EQ(person.attribute("ID") + " " + person.attribute("ListNum") + " " + person.attribute("PresenceSeconds"),
              QStringLiteral("55 2 12.346"));
    EXPECT_TRUE(Take(facePresence).empty());
    events.BroadcastPresenceEnded(QStringLiteral("Вход"), 31, 55, 0, 1);
    EXPECT_TRUE(Take(grayPresence).empty());

    events.BroadcastPresenceEnded(QStringLiteral("Вход"), 32, 0, 0, 0.5);
    EXPECT_TRUE(Take(grayPresence).empty());
    seen = Take(facePresence);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(ChildNames(seen[0]), (QStringList{"Type", "Camera", "KeyNumber", "PresenceSeconds"}));
    EXPECT_EQ(ChildText(seen[0], "Type"), QStringLiteral("7"));
    EXPECT_EQ(ChildText(seen[0], "PresenceSeconds"), QStringLiteral("0.500"));
    EXPECT_TRUE(full.sent.empty());
}

TEST_F(EventTest, CharactersXmlForbidsInDatabaseTextsLeaveTheEventsWellFormed) {
    FakeSession& all = Add({0x7F, 0x07, ImageFormat::Png});
    recognition::PersonFields person = Person(0);
    platform::CopyToFixed(person.surname, HostileName());
    platform::CopyToFixed(person.externalKey, HostileName());
    events.BroadcastPersonRecognized(HostileName(), Report(person, nullptr));
    events.BroadcastCameraState(HostileName(), camera::CameraState::Works, 1);
    ASSERT_EQ(all.sent.size(), 2u);
    for (const SentPacket& packet : all.sent) EXPECT_TRUE(StrictlyWellFormed(packet.text)) << packet.text.toStdString();

    const auto seen = Take(all);
    const QDomElement recognized = seen.at(0).firstChildElement("Person");
    EXPECT_EQ(recognized.attribute("Surname"), HostileNameAsSent());
    EXPECT_EQ(recognized.attribute("ExtKey"), HostileNameAsSent());
    EXPECT_EQ(recognized.attribute("Forename"), QStringLiteral("Пётр"));
    EXPECT_EQ(seen.at(0).firstChildElement("Camera").attribute("Name"), HostileNameAsSent());
    EXPECT_EQ(ChildText(seen.at(1).firstChildElement("Camera"), "Name"), HostileNameAsSent());
}

}  // namespace
