#pragma once
// Purpose: turns the faces detected in each frame into subjects: assignment by largest overlap
//   with the subjects' last rectangles, creation of subjects for new faces, removal of vanished
//   ones.
// Threads: user-interface thread only; the changing calls check they come from the thread that
//   made the tracker.
// Owns: the subjects (each with its label state) and the face table of the current frame; it
//   borrows the TrackingEvents it reports to.

#include "app/recognition/subject.h"
#include "platform/contract.h"

#include <opencv2/core/mat.hpp>

#include <memory>
#include <span>
#include <vector>

namespace recognition {

// What tracking reports outward (management events, unrecognized-person handling, labels).
class TrackingEvents {
public:
    virtual ~TrackingEvents() = default;
    // A subject was created for a face of `frame` (the frame before drawing).
    virtual void FaceDetected(const Subject& subject, const cv::Mat& frame) = 0;
    // A subject that never got a person vanished; called before PresenceEnded.
    virtual void UnrecognizedSubjectVanished(const Subject& subject, double now) = 0;
    // A subject is about to be removed after `presenceSeconds` in view.
    virtual void PresenceEnded(const Subject& subject, double presenceSeconds) = 0;
};

// Frame size and the size the picture is displayed at.
struct DisplayGeometry {
    int frameColumns = 0;
    int frameRows = 0;
    int shownWidth = 0;
    int shownHeight = 0;
};

ScreenRect ToScreen(const FrameFace& face, const DisplayGeometry& display);

// The next subject id of the process: 1 for the first subject ever, never reset.
uint32_t NextSubjectId();

// One face of the current frame and the subject it went to.
struct FaceTableEntry {
    int32_t bestOverlap = -1;
    bool assigned = false;
    int32_t subjectIndex = -1;
    uint32_t subjectId = 0;
};

class SubjectTracker {
public:
    explicit SubjectTracker(TrackingEvents& events) : events_(events) {}

    // Assigns the frame's faces to subjects and creates subjects for the faces left over.
    void Track(std::span<const FrameFace> faces, const cv::Mat& frame, double now, const DisplayGeometry& display);

    // Removes the subjects that vanished: with shortInvisibility, those not seen for more than
    // 0.5 s; otherwise those without a face in this frame.
    void RemoveVanished(double now, bool shortInvisibility);

    // Empties the list (the camera stopped). Ids keep counting.
    void Clear();

    // By id, with a binary search (the list is in increasing id order); null when gone.
    Subject* Find(uint32_t id) const;

    const std::vector<std::unique_ptr<Subject>>& Subjects() const { return subjects_; }
    const std::vector<FaceTableEntry>& FaceTable() const { return faceTable_; }
    // The subject of each face of the frame, in face order, for the prediction workers.
    std::vector<DispatchSubject*> SubjectsInFaceOrder() const;
    // The subject a face of the current frame went to, or null.
    const Subject* SubjectOfFace(size_t face) const;

private:
    void ScoreOverlaps(std::span<const FrameFace> faces);
    void AssignByLargestOverlap(size_t faceCount);

    TrackingEvents& events_;
    std::vector<std::unique_ptr<Subject>> subjects_;
    std::vector<FaceTableEntry> faceTable_;
    platform::OwnerThread owner_;
};

}  // namespace recognition
