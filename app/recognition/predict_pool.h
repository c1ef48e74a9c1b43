#pragma once
// Purpose: the pool of 16 prediction workers (threads "PredictThread"): each describes one face
//   handed over by the viewport's frame processing, matches it against the working model set and
//   delivers a RecognizedData for a reported match.
// Threads: the pool is made, started, stopped and given faces on the user-interface thread
//   (DispatchFaces checks it is the thread that made the pool); WaitPredictThreadIddle runs on
//   the changer of the working model set, which holds PredictDispatchLock; workers take no lock.
// Owns: the 16 worker threads, their describers, start and idle events and slot pictures; it
//   borrows the termination event, the result sink, the working model set and the settings.

#include "app/recognition/face_describer.h"
#include "app/recognition/frame_face.h"
#include "app/recognition/person_model.h"
#include "app/recognition/recognized_data.h"
#include "platform/contract.h"
#include "platform/sync.h"
#include "settings/settings_hub.h"

#include <opencv2/core/mat.hpp>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <thread>

namespace recognition {

// Held while a face is handed to a worker and while the working model set changes (the
// changer calls WaitPredictThreadIddle inside it). Workers never take it.
extern platform::CriticalSection PredictDispatchLock;

// Blocks until every worker of the running pool is idle, then leaves them all idle again.
// False when the termination event was set or a wait failed. The caller must hold
// PredictDispatchLock. With no pool running there is no worker to wait for: true.
bool WaitPredictThreadIddle();

// The part of a tracked subject that dispatching reads, and its last hand-over time, which
// dispatching writes.
struct DispatchSubject {
    uint32_t id = 0;  // subject ids start at 1
    FrameFace rectangle;
    uint32_t personId = 0;  // 0 while not identified
    uint32_t sureHits = 0;
    double lastHandOver = 0;  // OLE Automation date, 0 before the first hand-over
};

// The work handed to one worker.
struct PredictSlot {
    cv::Mat picture;  // deep copy of the frame
    FrameFace face;
    // 0 while the slot is free. Written by the dispatcher before it starts the worker and
    // cleared by the worker before it becomes idle; read by the dispatcher without the lock.
    std::atomic<uint32_t> subjectId{0};
    uint32_t personIdAtHandOver = 0;
    uint32_t countAtHandOver = 0;
};

class PredictPool {
public:
    static constexpr int kWorkerCount = 16;
    // A subject is handed over again only after more than this.
    static constexpr std::chrono::milliseconds kHandOverInterval{500};

    using DescriberFactory = std::function<std::unique_ptr<FaceDescriber>(int workerIndex)>;

    // termEvent is the process-wide manual-reset termination event; models the working model set;
    // hub gives each face its LikelyDistance.
    PredictPool(platform::Event& termEvent, RecognizedDataSink& sink, DescriberFactory makeDescriber,
                const PersonModelSortedList& models, const settings::SettingsHub& hub);
    // Stops the workers; the termination event must have been set.
    ~PredictPool();
    PredictPool(const PredictPool&) = delete;
    PredictPool& operator=(const PredictPool&) = delete;

    // Creates the describers, then starts workers 0..15 in order. False (logged) when a
    // worker's events or describer could not be made (no thread is started then) or a thread
    // cannot be started. The
    // pool becomes the one WaitPredictThreadIddle waits for.
    bool Start();
    // After the termination event is set: waits for the workers in index order.
    void Stop();

    // Hands each subject's face (subjects in face order) to an idle worker, never waiting.
    // now is the current local time as an OLE Automation date. User-interface thread only.
    void DispatchFaces(const cv::Mat& frame, std::span<DispatchSubject* const> subjects, double now);

    // The barrier behind WaitPredictThreadIddle.
    bool WaitIdle();

private:
    struct Worker {
        platform::Event start{false, false};
        platform::Event idle{false, false};
        PredictSlot slot;
        std::unique_ptr<FaceDescriber> describer;
        std::thread thread;
    };

    void Run(int index);
    void ProcessSlot(int index);
    bool SubjectInAnySlot(uint32_t subjectId) const;
    // False when the termination event stops dispatching.
    bool HandOver(const cv::Mat& frame, DispatchSubject& subject, double now);

    platform::Event& termEvent_;
    RecognizedDataSink& sink_;
    DescriberFactory makeDescriber_;
    const PersonModelSortedList& models_;
    const settings::SettingsHub& hub_;
    std::array<Worker, kWorkerCount> workers_;
    platform::OwnerThread owner_;
};

}  // namespace recognition
