#pragma once
// Purpose: turns the faces of a snapshot frame into snapshot records on a thread of its own, so
//          that describing several faces never holds up the camera viewport's timer. Each face
//          goes through the same description as the prediction workers' (the same landmarks,
//          chip and network weights), so a snapshot's descriptor equals the one the workers
//          compute for that face of that frame.
// Threads: made, called and destroyed on the user-interface thread (checked); the describing
//          thread only describes and writes the temporary files; the receiver runs on the
//          user-interface thread.
// Owns: its thread, its describer (whose network may be borrowed for each call) and the frames
//       waiting for it.

#include "app/recognition/face_describer.h"
#include "app/snapshots/snapshot_record.h"
#include "platform/contract.h"

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

namespace snapshots {

// One face as a snapshot: described, its chip written as a JPEG to a temporary "ostv{GUID}.jpg"
// file and read back as the thumbnail, the file deleted. Nothing for a face whose landmarks
// cannot be placed, or (logged) when the file cannot be written or read.
std::optional<SnapshotRecord> MakeSnapshot(recognition::FaceDescriber& describer, const cv::Mat& frame,
                                           const recognition::FrameFace& face);

class SnapshotDescriber {
public:
    // The snapshots of one frame, in face order; never empty.
    using Receiver = std::function<void(std::vector<SnapshotRecord> records)>;

    explicit SnapshotDescriber(std::unique_ptr<recognition::FaceDescriber> describer);
    // Stops the thread.
    ~SnapshotDescriber();
    SnapshotDescriber(const SnapshotDescriber&) = delete;
    SnapshotDescriber& operator=(const SnapshotDescriber&) = delete;

    // Empty: the snapshots made from now on are dropped.
    void SetReceiver(Receiver receiver);

    // Takes a copy of the frame (the viewport draws on its own afterwards) and queues its faces.
    void Describe(const cv::Mat& frame, std::span<const recognition::FrameFace> faces);

    // Faces handed over whose snapshots have not reached the receiver yet; they count towards the
    // page's limit.
    int FacesInFlight() const;

    // Ends the thread after the face it is on; frames still waiting are dropped and the receiver
    // is not called again. Later frames are ignored.
    void Stop();

private:
    struct Job {
        cv::Mat frame;
        std::vector<recognition::FrameFace> faces;
    };

    void Run();
    // On the user-interface thread.
    void Arrived(std::vector<SnapshotRecord> records, int faces);

    platform::OwnerThread owner_;
    std::unique_ptr<recognition::FaceDescriber> describer_;
    Receiver receiver_;
    int inFlight_ = 0;
    bool stopped_ = false;
    // The describing thread posts its results here; it lives on the user-interface thread.
    QObject delivery_;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace snapshots
