#pragma once
// Purpose: what the server remembers of the wrong passwords from each client address: how long
//          to hold back the next reply (longer with every wrong password of the last minute), and
//          whether to journal it, so that a stranger guessing passwords is slowed down and costs
//          the 256 rows of the journal one line a minute instead of one a guess.
// Threads: any thread (the sessions' receive threads); it locks itself.
// Owns: one small record per address seen in the last minute, at most kMaxAddresses of them.

#include <QHash>
#include <QString>

#include <chrono>
#include <cstddef>
#include <mutex>

namespace management {

class WrongPasswordGuard {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr std::chrono::milliseconds kDelayStep{250};
    static constexpr std::chrono::milliseconds kMaxDelay{2000};
    static constexpr std::chrono::seconds kJournalPeriod{60};
    static constexpr qsizetype kMaxAddresses = 1024;

    enum class JournalLine {
        Single,   // the one wrong password since the address's last line: the usual warning
        Summary,  // `count` wrong passwords since the address's last line, this one included
        None,     // a line for the address was posted less than a minute ago
    };
    struct Verdict {
        std::chrono::milliseconds delay;
        JournalLine line;
        int count;
    };

    // delayStep: how much longer each wrong password of the last minute holds the next reply back.
    explicit WrongPasswordGuard(std::chrono::milliseconds delayStep = kDelayStep) : delayStep_(delayStep) {}

    // Counts a wrong password from the address at `now`.
    Verdict WrongPassword(const QString& address, Clock::time_point now);

private:
    struct Record {
        Clock::time_point lastLine;  // when a line for the address was posted
        Clock::time_point windowStart;
        Clock::time_point lastSeen;
        int inWindow = 0;   // wrong passwords since windowStart, for the delay
        int sinceLine = 0;  // wrong passwords since lastLine that no line mentions yet
    };

    void MakeRoomLocked(Clock::time_point now);

    const std::chrono::milliseconds delayStep_;
    std::mutex lock_;
    QHash<QString, Record> records_;  // under lock_
};

}  // namespace management
