// Fuzz target of a management session's input: the byte stream a client sends, cut into packets
// as the receive thread cuts it, and the two document handlers behind it. The first input byte
// chooses what the rest is: a request document, a subscription document, or a raw stream received
// in segments whose sizes the second byte seeds. Anything the code under test does wrong with it
// (a sanitizer report, a packet longer than announced, a reply that is not well-formed XML or of
// the wrong type) aborts.

#include "app/management/document_handler.h"
#include "app/management/packet_framing.h"
#include "platform/fixedtext.h"

#include <QDomDocument>

#include <opencv2/core.hpp>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

namespace {

using namespace management;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "management fuzz: %s\n", what);
    std::abort();
}

class CollectingSession final : public Session {
public:
    int Number() const override { return 5; }
    QString ClientAddress() const override { return QStringLiteral("192.0.2.7"); }
    QString ClientHost() const override { return QStringLiteral("station.example"); }
    Subscription CurrentSubscription() const override { return subscription_; }
    void SetSubscription(const Subscription& subscription) override { subscription_ = subscription; }
    bool SendTcpPacket(PacketType type, const QString& documentText, WhenQueueFull) override {
        QDomDocument reply;
        if (!reply.setContent(documentText)) Fail("a reply is not well-formed XML");
        if (type != PacketType::_S2C_TCP_REPLY && type != PacketType::_S2C_TCP_SUBSCRIBE_REPLY &&
            type != PacketType::_S2C_TCP_EVENT)
            Fail("a reply of an unknown packet type");
        ++sent;
        return true;
    }

    LoginResult LogIn() override { return LoginResult::Station; }
    int CountWrongPassword() override { return ++wrongPasswords_; }

    int sent = 0;

private:
    Subscription subscription_;
    int wrongPasswords_ = 0;
};

// The viewport answers at once with a small frame and one person in view.
class AnsweringViewport final : public CameraStateSource {
public:
    CameraStatus CurrentCameraStatus() override { return {QStringLiteral("Вход"), camera::CameraState::Works}; }
    bool PostStateRequest(std::shared_ptr<recognition::CameraStateRequest> request) override {
        request->cameraRunning = 1;
        platform::CopyToFixed(request->cameraName, QStringLiteral("Вход"));
        request->frameWidth = frame_.cols;
        request->frameHeight = frame_.rows;
        if (request->flags & recognition::CameraStateRequest::kWantPicture) frame_.copyTo(request->picture);
        if (request->flags & recognition::CameraStateRequest::kWantSubjects) {
            recognition::SubjectStateRecord subject;
            subject.sureHits = 2;
            subject.personId = 4;
            request->subjects = {subject};
        }
        request->completed.Set();
        return true;
    }

private:
    cv::Mat frame_{16, 24, CV_8UC3, cv::Scalar(10, 20, 30)};
};

struct Server {
    shell::Journal journal;  // nothing attached: entries are dropped
    AnsweringViewport viewport;
    platform::Event term{true, false};
    platform::Event stop{true, false};
    // Wrong passwords are not held back: the runs guess thousands of them from one address.
    DocumentHandler handler{QStringLiteral("pw"), journal, viewport, term, stop, std::chrono::milliseconds(0)};
};

Server& TheServer() {
    static Server server;
    return server;
}

// What the receive thread does with one packet; false ends the session.
bool Dispatch(CollectingSession& session, uint32_t type, std::span<const std::byte> data) {
    if (type == uint32_t(PacketType::_C2S_TCP_REQUEST)) return TheServer().handler.HandleTcpRequest(session, data);
    return TheServer().handler.HandleTcpSubscribeToEvents(session, data);
}

void ReceiveStream(std::span<const std::byte> stream, uint8_t segmentSeed) {
    CollectingSession session;
    PacketReader reader;
    uint32_t segmentState = segmentSeed * 2654435761u + 1;
    size_t at = 0;
    while (at < stream.size()) {
        segmentState = segmentState * 1103515245u + 12345u;
        const std::span<std::byte> space = reader.FreeSpace();
        if (space.empty()) Fail("the receive buffer has no room");
        // Tiny segments mostly, sometimes everything that fits.
        size_t segment = (segmentState >> 16) % 7 == 0 ? space.size() : 1 + (segmentState >> 16) % 64;
        segment = std::min({segment, space.size(), stream.size() - at});
        std::memcpy(space.data(), stream.data() + at, segment);
        at += segment;
        reader.Received(segment);
        for (bool more = true; more;) {
            const ReadResult next = reader.Next();
            switch (next.verdict) {
            case ReadVerdict::NeedMore:
                more = false;
                break;
            case ReadVerdict::Packet:
                if (next.data.size() != next.header.dataLength || next.header.dataLength > kMaxIncomingDataLength)
                    Fail("a packet's data differs from its announced length");
                if (!Dispatch(session, next.header.type, next.data)) return;
                break;
            case ReadVerdict::TooLong:
                if (next.header.dataLength <= kMaxIncomingDataLength) Fail("a packet refused as too long is not");
                return;
            case ReadVerdict::UnknownType:
                return;
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const std::span<const std::byte> rest(reinterpret_cast<const std::byte*>(data) + 2, size - 2);
    CollectingSession session;
    switch (data[0] % 3) {
    case 0:
        if (!TheServer().handler.HandleTcpRequest(session, rest) && session.sent != 0)
            Fail("a refused request was answered");
        break;
    case 1:
        if (!TheServer().handler.HandleTcpSubscribeToEvents(session, rest) && session.sent != 0)
            Fail("a refused subscription was answered");
        break;
    default:
        ReceiveStream(rest, data[1]);
        break;
    }
    return 0;
}
