#pragma once
// Helpers shared by the camera tests: a journal whose sink records entries and lets a test wait
// for one, and the diagnostic log read back as text.

#include "app/shell/journal.h"
#include "platform/log.h"
#include "tests/support/loopback.h"

#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace camera_test {

struct SeenEntry {
    shell::JournalTab tab;
    shell::EntryIcon icon;
    QString eventText;
    QString description;
    shell::StatusBar statusBar;
    shell::StatusIcon statusIcon;
    std::chrono::steady_clock::time_point at;
};

class RecordingSink : public shell::JournalSink {
public:
    // The journal to hand to the code under test.
    const shell::Journal& Journal() const { return journal_; }

    bool Deliver(shell::JournalTab tab, std::unique_ptr<shell::JournalEntry> entry) override {
        std::lock_guard<std::mutex> lock(mutex_);
        entries_.push_back({tab, entry->icon, entry->eventText, entry->description, entry->statusBar, entry->statusIcon,
                            std::chrono::steady_clock::now()});
        changed_.notify_all();
        return true;
    }

    std::vector<SeenEntry> Entries() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return entries_;
    }

    int Count(const QString& eventText) const {
        std::lock_guard<std::mutex> lock(mutex_);
        int n = 0;
        for (const auto& e : entries_) n += e.eventText == eventText;
        return n;
    }

    // Waits until at least `count` entries with the event text arrived; false on time-out.
    bool WaitFor(const QString& eventText, int count, std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] {
            int n = 0;
            for (const auto& e : entries_) n += e.eventText == eventText;
            return n >= count;
        });
    }

    // Time of the n-th (from 1) entry with the event text.
    std::chrono::steady_clock::time_point TimeOf(const QString& eventText, int nth) const {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& e : entries_) {
            if (e.eventText == eventText && --nth == 0) return e.at;
        }
        return {};
    }

    void Clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        entries_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<SeenEntry> entries_;
    shell::Journal journal_{this};
};

// A free loopback port (bound and released): nobody listens there until someone binds it again.
inline uint16_t FreeLoopbackPort() {
    uint16_t port = 0;
    const int fd = testsupport::ListenOnLoopback(&port);
    if (fd >= 0) close(fd);
    return port;
}

// Points the diagnostic log at a temporary folder for the test's lifetime.
class TempLog {
public:
    TempLog() { platform::SetLogFile(dir_.filePath("Ostrovid.log"), dir_.filePath("Ostrovid1.log")); }
    ~TempLog() { platform::SetLogFile(QString(), QString()); }

    QString Text() const {
        QFile file(dir_.filePath("Ostrovid.log"));
        if (!file.open(QIODevice::ReadOnly)) return {};
        const QByteArray bytes = file.readAll();
        if (bytes.size() < 2) return {};
        return QString(reinterpret_cast<const QChar*>(bytes.constData() + 2), int((bytes.size() - 2) / 2));
    }

private:
    QTemporaryDir dir_;
};

}  // namespace camera_test
