#include "app/shell/journal.h"

#include "platform/log.h"

#include <atomic>
#include <cstring>
#include <new>

namespace shell {

namespace {

std::atomic<JournalSink*> g_sink{nullptr};

constexpr int kWmUser = 0x0400;
constexpr int kFirstEntryMessage = kWmUser + 207;

// A private, NUL-terminated copy of text, or nullptr when memory runs out.
char16_t* CopyText(const char16_t* text) {
    size_t length = 0;
    while (text[length] != 0) {
        ++length;
    }
    auto* copy = new (std::nothrow) char16_t[length + 1];
    if (copy != nullptr) {
        std::memcpy(copy, text, (length + 1) * sizeof(char16_t));
    }
    return copy;
}

// Stores text in the field, copying it when asked; false when the copy could not be made.
bool SetText(const char16_t*& field, bool& owned, const char16_t* text, bool copy) {
    if (text == nullptr || !copy) {
        field = text;
        return true;
    }
    field = CopyText(text);
    owned = field != nullptr;
    return owned;
}

std::unique_ptr<JournalEntry> NewEntry() {
    std::unique_ptr<JournalEntry> entry(new (std::nothrow) JournalEntry);
    if (!entry) {
        WriteLog(QStringLiteral("Недостаточно памяти в системе"));
    }
    return entry;
}

// Frees the half-built entry (with what it already owns) after a failed copy.
bool DropForMemory(std::unique_ptr<JournalEntry>& entry) {
    entry.reset();
    WriteLog(QStringLiteral("Недостаточно памяти в системе"));
    return false;
}

bool Deliver(JournalTab tab, std::unique_ptr<JournalEntry> entry) {
    JournalSink* sink = g_sink.load(std::memory_order_acquire);
    if (sink == nullptr || !sink->Deliver(tab, std::move(entry))) {
        WriteLog(QStringLiteral("Post Message Error"));
        return false;
    }
    return true;
}

}  // namespace

JournalEntry::~JournalEntry() {
    if (eventTextOwned) {
        delete[] eventText;
    }
    if (actionTextOwned) {
        delete[] actionText;
    }
    if (descriptionOwned) {
        delete[] description;
    }
}

int JournalEntryMessage(JournalTab tab) { return kFirstEntryMessage + static_cast<int>(tab); }

void SetJournalSink(JournalSink* sink) { g_sink.store(sink, std::memory_order_release); }

bool PostDatabaseJournal(int32_t iconKind, const char16_t* eventText, bool copyEventText,
                         const char16_t* description, bool copyDescription, int32_t databaseState) {
    auto entry = NewEntry();
    if (!entry) {
        return false;
    }
    entry->iconKind = iconKind;
    entry->databaseState = databaseState;
    if (!SetText(entry->eventText, entry->eventTextOwned, eventText, copyEventText) ||
        !SetText(entry->description, entry->descriptionOwned, description, copyDescription)) {
        return DropForMemory(entry);
    }
    return Deliver(JournalTab::Database, std::move(entry));
}

bool PostRecognitionJournal(int32_t iconKind, const char16_t* eventText, const char16_t* description,
                            bool copyDescription) {
    auto entry = NewEntry();
    if (!entry) {
        return false;
    }
    entry->iconKind = iconKind;
    entry->eventText = eventText;
    if (!SetText(entry->description, entry->descriptionOwned, description, copyDescription)) {
        return DropForMemory(entry);
    }
    return Deliver(JournalTab::Recognition, std::move(entry));
}

bool PostActionJournal(int32_t iconKind, const char16_t* eventText, bool copyEventText, int32_t actionNumber,
                       const char16_t* actionText, bool copyActionText, const char16_t* description,
                       bool copyDescription) {
    auto entry = NewEntry();
    if (!entry) {
        return false;
    }
    entry->iconKind = iconKind;
    entry->actionNumber = actionNumber;
    if (!SetText(entry->eventText, entry->eventTextOwned, eventText, copyEventText) ||
        !SetText(entry->actionText, entry->actionTextOwned, actionText, copyActionText) ||
        !SetText(entry->description, entry->descriptionOwned, description, copyDescription)) {
        return DropForMemory(entry);
    }
    return Deliver(JournalTab::Actions, std::move(entry));
}

bool PostNotificationJournal(int32_t iconKind, const char16_t* description, bool copyDescription) {
    auto entry = NewEntry();
    if (!entry) {
        return false;
    }
    entry->iconKind = iconKind;
    entry->eventText = u"Management Server";
    if (!SetText(entry->description, entry->descriptionOwned, description, copyDescription)) {
        return DropForMemory(entry);
    }
    return Deliver(JournalTab::Notifications, std::move(entry));
}

bool PostCameraJournal(int32_t iconKind, const char16_t* eventText, const char16_t* description,
                       uint32_t statusBar, uint32_t statusIconKind, bool copyDescription) {
    auto entry = NewEntry();
    if (!entry) {
        return false;
    }
    entry->iconKind = iconKind;
    entry->eventText = eventText;
    entry->statusBar = statusBar;
    entry->statusIconKind = statusIconKind;
    if (!SetText(entry->description, entry->descriptionOwned, description, copyDescription)) {
        return DropForMemory(entry);
    }
    return Deliver(JournalTab::Camera, std::move(entry));
}

}  // namespace shell
