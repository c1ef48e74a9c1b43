#pragma once
// A journal sink that keeps a copy of every entry posted from any thread, for tests that read back
// what a worker told the journal.

#include "app/shell/journal.h"

#include <memory>
#include <mutex>
#include <vector>

namespace testsupport {

class JournalEntries : public shell::JournalSink {
public:
    bool Deliver(shell::JournalTab, std::unique_ptr<shell::JournalEntry> entry) override {
        std::lock_guard<std::mutex> lock(mutex_);
        entries_.push_back(*entry);
        return true;
    }
    std::vector<shell::JournalEntry> Entries() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return entries_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<shell::JournalEntry> entries_;
};

}  // namespace testsupport
