#pragma once
// Purpose: a program run for a script: started without a shell in a process group of its own, fed
//          its standard input, the head of its standard error kept, waited for until it exits or
//          the watchdog kills its group.
// Threads: the runner's main thread.
// Owns: the child's pipes for the length of the run.

#include "velox/watchdog.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace velox {

struct ChildCommand {
    QString program;
    QStringList arguments;
    QStringList environment;       // "NAME=value" entries added to the runner's own
    QByteArray input;              // standard input; closed after it
    qsizetype errorHeadBytes = 0;  // standard error kept up to this many bytes, the rest read and dropped
};

struct ChildResult {
    int startError = 0;  // errno when the program could not be started
    int exitCode = 0;
    int signal = 0;  // the signal that ended it, 0 when it exited
    QByteArray errorHead;
};

ChildResult RunChild(const ChildCommand& command, Watchdog& watchdog);

}  // namespace velox
