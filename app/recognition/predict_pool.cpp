#include "app/recognition/predict_pool.h"

#include "app/recognition/matching.h"
#include "platform/contract.h"
#include "platform/fixedtext.h"
#include "platform/log.h"
#include "platform/oledate.h"

#include <QString>

#include <algorithm>
#include <cstdarg>
#include <new>
#include <system_error>

namespace recognition {

platform::CriticalSection PredictDispatchLock;

namespace {

// The pool WaitPredictThreadIddle waits for: the one started last and not yet stopped.
std::atomic<PredictPool*> runningPool{nullptr};

__attribute__((format(printf, 1, 2))) void Log(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    WriteLog(QString::vasprintf(format, arguments));
    va_end(arguments);
}

template <size_t N>
void CopyField(char16_t (&target)[N], const char16_t (&source)[N]) {
    std::copy(source, source + N, target);
    target[N - 1] = u'\0';
}

void FillPerson(RecognizedData& record, const PersonModel& person) {
    record.personId = person.personId;
    PersonFields& fields = record.person;
    fields.listNumber = static_cast<uint32_t>(person.listNumber);
    CopyField(fields.surname, person.surname);
    CopyField(fields.forename, person.forename);
    CopyField(fields.secondName, person.secondName);
    CopyField(fields.alias, person.alias);
    CopyField(fields.externalKey, person.externalKey);
    fields.gender = static_cast<uint32_t>(person.gender);
    fields.dateOfBirth = person.dateOfBirth;
    CopyField(fields.speech, person.speech);
}

}  // namespace

bool WaitPredictThreadIddle() {
    OSTROVID_ASSERT(PredictDispatchLock.HeldByCurrentThread(), "WaitPredictThreadIddle needs PredictDispatchLock held");
    PredictPool* pool = runningPool.load(std::memory_order_acquire);
    return pool == nullptr || pool->WaitIdle();
}

PredictPool::PredictPool(platform::Event& termEvent, RecognizedDataSink& sink, DescriberFactory makeDescriber,
                         const PersonModelSortedList& models, const settings::SettingsHub& hub)
    : termEvent_(termEvent), sink_(sink), makeDescriber_(std::move(makeDescriber)), models_(models), hub_(hub) {}

PredictPool::~PredictPool() { Stop(); }

bool PredictPool::Start() {
    // A worker without its events or a describer cannot be created: with an event missing its
    // waits would fail at once, every time.
    for (int i = 0; i < kWorkerCount; ++i) {
        if (!workers_[i].start.IsValid() || !workers_[i].idle.IsValid()) {
            Log("Error. Can't create PredictThread %d.", i);
            return false;
        }
        try {
            workers_[i].describer = makeDescriber_(i);
        } catch (const std::bad_alloc&) {
        }
        if (!workers_[i].describer) {
            Log("PredictThread %d: %s", i, "Недостаточно памяти в системе");
            Log("Error. Can't create PredictThread %d.", i);
            return false;
        }
    }
    for (int i = 0; i < kWorkerCount; ++i) {
        try {
            workers_[i].thread = platform::StartNamedThread("PredictThread", [this, i] { Run(i); });
        } catch (const std::system_error&) {
            Log("Error. Can't create PredictThread %d.", i);
            return false;
        }
    }
    runningPool.store(this, std::memory_order_release);
    return true;
}

void PredictPool::Stop() {
    PredictPool* self = this;
    runningPool.compare_exchange_strong(self, nullptr);
    for (Worker& worker : workers_) {
        if (worker.thread.joinable()) worker.thread.join();
    }
    for (Worker& worker : workers_) {
        worker.describer.reset();
        worker.slot.picture.release();
    }
}

void PredictPool::Run(int index) {
    Worker& worker = workers_[index];
    Log("PredictThread %d started.", index);
    worker.idle.Set();
    for (;;) {
        const int signalled = platform::WaitForAny({&termEvent_, &worker.start}, platform::kInfinite);
        if (signalled == 0) break;
        if (signalled == 1) {
            ProcessSlot(index);
            worker.slot.subjectId.store(0, std::memory_order_release);
            worker.idle.Set();
        } else {
            Log("PredictThread %d: Unknown error on WaitForMultipleObjects.", index);
        }
    }
    Log("PredictThread %d: TermEvent signaled.", index);
    worker.idle.Reset();
    Log("PredictThread %d completed.", index);
}

void PredictPool::ProcessSlot(int index) {
    Worker& worker = workers_[index];
    PredictSlot& slot = worker.slot;
    // Pairs with the dispatcher's release store: the slot's fields are the ones it wrote.
    const uint32_t subjectId = slot.subjectId.load(std::memory_order_acquire);
    // In hundredths, the bound for reporting a match at all: taken from the settings anew for each
    // face, so a change reaches the running workers.
    const int likelyDistance = static_cast<int>(hub_.Get(&settings::SettingsState::recognition)->LikelyDistance);

    std::optional<DescribedFace> described;
    try {
        // The network's working buffers, or the pool's first copy of it, may not fit.
        described = worker.describer->Describe(slot.picture, slot.face);
    } catch (const std::bad_alloc&) {
        Log("PredictThread %d: %s", index, "Недостаточно памяти в системе");
        return;
    }
    if (!described) return;
    std::optional<PersonMatch> match = MatchDescriptor(described->descriptor, models_, likelyDistance);
    if (!match) return;

    std::unique_ptr<RecognizedData> record(new (std::nothrow) RecognizedData{});
    std::unique_ptr<cv::Mat> chip(record ? new (std::nothrow) cv::Mat() : nullptr);
    if (!record || !chip) {
        Log("PredictThread %d: %s", index, "Недостаточно памяти в системе");
        return;
    }
    record->subjectId = subjectId;
    record->personIdAtHandOver = slot.personIdAtHandOver;
    record->countAtHandOver = slot.countAtHandOver;
    described->chip.copyTo(*chip);
    record->picture = std::move(chip);
    record->distance = match->distance;
    FillPerson(*record, *match->person);

    if (termEvent_.Wait(0)) {
        Log("PredictThread %d: hTermEvent signaled. Deallocation Recognized Data.", index);
        return;  // the record and its picture are freed here
    }
    if (!sink_.Deliver(index, std::move(record))) {
        Log("PredictThread %d: SendNotifyMessage(WMU_RECOGNIZED_DATA) error.", index);
    }
}

bool PredictPool::SubjectInAnySlot(uint32_t subjectId) const {
    return std::any_of(workers_.begin(), workers_.end(), [subjectId](const Worker& worker) {
        return worker.slot.subjectId.load(std::memory_order_relaxed) == subjectId;
    });
}

void PredictPool::DispatchFaces(const cv::Mat& frame, std::span<DispatchSubject* const> subjects, double now) {
    OSTROVID_ASSERT(owner_.IsCurrent(), "faces are dispatched only from the thread that made the pool");
    {
        // The database thread fills and empties the working set under this lock.
        platform::CriticalSectionLock lock(PredictDispatchLock);
        if (models_.Empty()) return;
    }
    for (DispatchSubject* subject : subjects) {
        if (platform::OleSpan(subject->lastHandOver, now) <= kHandOverInterval) continue;
        if (SubjectInAnySlot(subject->id)) continue;
        if (!HandOver(frame, *subject, now)) return;
    }
}

bool PredictPool::HandOver(const cv::Mat& frame, DispatchSubject& subject, double now) {
    platform::CriticalSectionLock lock(PredictDispatchLock);
    for (Worker& worker : workers_) {
        // A zero time-out: busy workers never hold up the frame processing.
        const int signalled = platform::WaitForAny({&termEvent_, &worker.idle}, 0);
        if (signalled == 0) return false;
        if (signalled != 1) continue;
        PredictSlot& slot = worker.slot;
        // Pairs with the worker's release store of 0: its reads of the slot are finished.
        (void)slot.subjectId.load(std::memory_order_acquire);
        frame.copyTo(slot.picture);
        slot.face = subject.rectangle;
        slot.personIdAtHandOver = subject.personId;
        slot.countAtHandOver = subject.sureHits;
        slot.subjectId.store(subject.id, std::memory_order_release);
        subject.lastHandOver = now;
        worker.start.Set();
        return true;
    }
    return true;
}

bool PredictPool::WaitIdle() {
    int taken = 0;
    while (taken < kWorkerCount &&
           platform::WaitForAny({&termEvent_, &workers_[taken].idle}, platform::kInfinite) == 1) {
        ++taken;
    }
    // The idle events taken are given back even when the wait ends early: those workers are
    // idle, and without their event no face would ever reach them again.
    for (int i = 0; i < taken; ++i) workers_[i].idle.Set();
    return taken == kWorkerCount;
}

}  // namespace recognition
