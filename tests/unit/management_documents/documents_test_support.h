#pragma once
// Stand-ins for the network side and the viewport, and readers of the documents they receive.

#include "app/management/camera_state_source.h"
#include "app/management/session_link.h"
#include "app/shell/journal.h"
#include "platform/fixedtext.h"
#include "platform/log.h"
#include "tests/support/log_lines.h"

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include <QByteArray>
#include <QDomDocument>
#include <QDomElement>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace testsupport {

struct SentPacket {
    management::PacketType type;
    QString text;
    management::WhenQueueFull whenFull;
};

class FakeSession : public management::Session {
public:
    explicit FakeSession(int number = 3, QString address = QStringLiteral("10.0.0.5"),
                         QString host = QStringLiteral("station"))
        : number_(number), address_(std::move(address)), host_(std::move(host)) {}

    int Number() const override { return number_; }
    QString ClientAddress() const override { return address_; }
    QString ClientHost() const override { return host_; }
    management::Subscription CurrentSubscription() const override { return subscription; }
    void SetSubscription(const management::Subscription& s) override {
        subscription = s;
        ++subscriptionWrites;
    }
    bool SendTcpPacket(management::PacketType type, const QString& text, management::WhenQueueFull whenFull) override {
        if (!acceptsPackets) return false;
        sent.push_back({type, text, whenFull});
        return true;
    }

    management::LoginResult LogIn() override {
        ++logIns;
        return stationPlaceFree ? management::LoginResult::Station : management::LoginResult::NoStationPlace;
    }
    int CountWrongPassword() override { return ++wrongPasswords; }

    management::Subscription subscription;
    int subscriptionWrites = 0;
    int logIns = 0;
    int wrongPasswords = 0;
    bool stationPlaceFree = true;
    bool acceptsPackets = true;
    std::vector<SentPacket> sent;

private:
    int number_;
    QString address_;
    QString host_;
};

class FakeSessionTable : public management::SessionTable {
public:
    void ForEachActiveSession(const std::function<void(management::Session&)>& visit) override {
        for (FakeSession* session : sessions) visit(*session);
    }
    std::vector<FakeSession*> sessions;
};

// The viewport: answers the posted requests in turn on a thread of its own, as the user-interface
// thread does, or keeps them unanswered until Release().
class FakeViewport : public management::CameraStateSource {
public:
    FakeViewport() : thread_([this] { AnswerQueued(); }) {}
    ~FakeViewport() override {
        Release();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }

    management::CameraStatus CurrentCameraStatus() override { return status; }

    bool PostStateRequest(std::shared_ptr<recognition::CameraStateRequest> request) override {
        if (!acceptsRequests) return false;
        ++posted;
        std::lock_guard<std::mutex> lock(mutex_);
        (holdRequests ? held_ : queued_).push_back(request);
        wake_.notify_one();
        return true;
    }

    // Answers the held requests now.
    void Release() {
        std::deque<std::shared_ptr<recognition::CameraStateRequest>> held;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            held.swap(held_);
        }
        for (const auto& request : held) Answer(*request);
    }

    management::CameraStatus status;
    // What the viewport fills in; its flags decide what of it is copied.
    bool running = false;
    int32_t cameraType = 0;
    QString cameraName;
    cv::Mat frame;
    std::vector<recognition::SubjectStateRecord> subjects;
    bool acceptsRequests = true;
    bool holdRequests = false;
    std::atomic<int> posted{0};

private:
    void AnswerQueued() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return stopping_ || !queued_.empty(); });
            if (queued_.empty()) return;
            std::shared_ptr<recognition::CameraStateRequest> request = queued_.front();
            queued_.pop_front();
            lock.unlock();
            Answer(*request);
            lock.lock();
        }
    }

    void Answer(recognition::CameraStateRequest& request) const {
        if (running) {
            request.cameraRunning = 1;
            request.cameraType = cameraType;
            platform::CopyToFixed(request.cameraName, cameraName);
            request.frameWidth = frame.cols;
            request.frameHeight = frame.rows;
            if (request.flags & recognition::CameraStateRequest::kWantPicture) frame.copyTo(request.picture);
            if (request.flags & recognition::CameraStateRequest::kWantSubjects) request.subjects = subjects;
        }
        request.completed.Set();
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::shared_ptr<recognition::CameraStateRequest>> queued_;
    std::deque<std::shared_ptr<recognition::CameraStateRequest>> held_;
    bool stopping_ = false;
    std::thread thread_;
};

struct Notification {
    shell::EntryIcon icon;
    QString description;
};

class NotificationSink : public shell::JournalSink {
public:
    NotificationSink() { journal.Attach(this); }
    ~NotificationSink() override { journal.Attach(nullptr); }
    bool Deliver(shell::JournalTab tab, std::unique_ptr<shell::JournalEntry> entry) override {
        EXPECT_EQ(tab, shell::JournalTab::Notifications);
        std::lock_guard<std::mutex> lock(mutex);
        entries.push_back({entry->icon, entry->description});
        return true;
    }
    std::vector<Notification> Entries() {
        std::lock_guard<std::mutex> lock(mutex);
        return entries;
    }

    shell::Journal journal;
    std::mutex mutex;
    std::vector<Notification> entries;
};

// A document as a client sends it: UTF-16LE, optionally closed by a NUL.
inline QByteArray PacketData(const QString& text, bool closingNul = false) {
    QByteArray bytes;
    for (QChar c : text) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    if (closingNul) bytes.append(2, '\0');
    return bytes;
}

inline std::span<const std::byte> Bytes(const QByteArray& data) {
    return {reinterpret_cast<const std::byte*>(data.constData()), size_t(data.size())};
}

inline QDomElement ParseRoot(const QString& text) {
    QDomDocument document;
    QString error;
    EXPECT_TRUE(document.setContent(text, false, &error)) << error.toStdString() << "\n" << text.toStdString();
    return document.documentElement();
}

// True when a strict XML 1.0 reader reads the whole text without an error.
inline ::testing::AssertionResult StrictlyWellFormed(const QString& text) {
    QXmlStreamReader reader(text);
    while (!reader.atEnd()) reader.readNext();
    if (!reader.hasError()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << reader.errorString().toStdString() << " at " << reader.characterOffset();
}

// A name as a broken database row may hold it, unit by unit beside what a station reads in its
// place: control characters XML forbids, lone surrogates of either kind (a high one last), the two
// non-characters, and a pair and a tab that stay.
inline constexpr std::pair<char16_t, char16_t> kHostileUnits[] = {
    {u'И', u'И'},     {u'в', u'в'},     {0x01, 0xFFFD},   {u'а', u'а'},     {u'н', u'н'},   {0x0B, 0xFFFD},
    {0xD800, 0xFFFD}, {u'о', u'о'},     {0xDC00, 0xFFFD}, {0xFFFE, 0xFFFD}, {0xFFFF, 0xFFFD}, {0x1F, 0xFFFD},
    {u'\t', u'\t'},   {0xD83D, 0xD83D}, {0xDE00, 0xDE00}, {0xDBFF, 0xFFFD}};

enum class HostileForm { Held, Sent };
inline QString HostileName(HostileForm form = HostileForm::Held) {
    QString name;
    for (const auto& [held, sent] : kHostileUnits) name += QChar(form == HostileForm::Held ? held : sent);
    return name;
}
inline QString HostileNameAsSent() { return HostileName(HostileForm::Sent); }

// The names of the element's children in document order.
inline QStringList ChildNames(const QDomElement& element) {
    QStringList names;
    for (QDomElement child = element.firstChildElement(); !child.isNull(); child = child.nextSiblingElement())
        names.append(child.tagName());
    return names;
}

inline QString ChildText(const QDomElement& element, const QString& name) {
    return element.firstChildElement(name).text();
}

inline cv::Mat DecodeImage(const QString& base64) {
    const QByteArray file = QByteArray::fromBase64(base64.toLatin1());
    std::vector<uchar> bytes(file.begin(), file.end());
    return bytes.empty() ? cv::Mat() : cv::imdecode(bytes, cv::IMREAD_UNCHANGED);
}

// Largest difference of any channel of any pixel.
inline double MaxDifference(const cv::Mat& a, const cv::Mat& b) {
    if (a.size() != b.size() || a.type() != b.type()) return 1e9;
    return cv::norm(a, b, cv::NORM_INF);
}

// Diagnostic log of the test in a temporary folder.
class LogFile {
public:
    LogFile() : path_(dir_.filePath(QStringLiteral("Ostrovid.log"))) {
        platform::SetLogFile(path_, dir_.filePath(QStringLiteral("Ostrovid1.log")));
    }
    QStringList Lines() const { return LogLines(path_); }

private:
    QTemporaryDir dir_;
    QString path_;
};

}  // namespace testsupport
