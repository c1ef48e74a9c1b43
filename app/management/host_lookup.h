#pragma once
// Purpose: a client station's host name as the server shows it and admits it by: the reverse
//          lookup of its address, kept only when the forward lookup of that name yields the
//          address again (anyone who controls the reverse zone of his own address can claim any
//          name). The lookups run on a thread of their own, so that a slow resolver delays the
//          server thread by no more than the time-out and never delays a stop.
// Threads: ConfirmedHostName from one thread at a time (the server thread). The lookup threads
//          outlive a call that stopped waiting; each keeps what it needs alive itself.
// Owns: the count of lookups still running, shared with their threads.

#include "platform/sync.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

namespace management {

// Host name of a dotted IPv4 address, empty when there is none.
using ReverseLookup = std::function<QString(const QString& address)>;
// Dotted IPv4 addresses of a host name, empty when there are none.
using ForwardLookup = std::function<QStringList(const QString& host)>;

// The system's lookups.
QString LookupHostName(const QString& address);
QStringList LookupAddresses(const QString& host);

class HostNameLookup {
public:
    // Lookups that have not ended in time go on in the background; while this many still run,
    // no further one is started, so that a resolver that hangs costs a bounded number of threads.
    static constexpr int kMaxRunning = 4;

    HostNameLookup(ReverseLookup reverse, ForwardLookup forward, std::chrono::milliseconds timeout);

    // The confirmed name of the address, cut to maxChars; empty when there is none, when the
    // lookups took longer than the time-out or too many still run, or when `stop` is set.
    QString ConfirmedHostName(const QString& address, qsizetype maxChars, platform::Event& stop);

private:
    const ReverseLookup reverse_;
    const ForwardLookup forward_;
    const std::chrono::milliseconds timeout_;
    std::shared_ptr<std::atomic<int>> running_ = std::make_shared<std::atomic<int>>(0);
};

}  // namespace management
