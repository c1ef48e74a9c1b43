#include "app/recognition/subject_tracker.h"

#include "platform/oledate.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>

namespace recognition {

namespace {

constexpr double kOverlapShare = 0.4;
constexpr std::chrono::milliseconds kShortInvisibility{500};

int64_t Area(int32_t width, int32_t height) { return int64_t(width) * height; }

int64_t IntersectionArea(const FrameFace& a, const FrameFace& b) {
    const int64_t left = std::max<int64_t>(a.x, b.x);
    const int64_t top = std::max<int64_t>(a.y, b.y);
    const int64_t right = std::min<int64_t>(int64_t(a.x) + a.width, int64_t(b.x) + b.width);
    const int64_t bottom = std::min<int64_t>(int64_t(a.y) + a.height, int64_t(b.y) + b.height);
    if (right <= left || bottom <= top) return 0;
    return (right - left) * (bottom - top);
}

int32_t Scaled(int32_t value, double scale) { return int32_t(value * scale + 0.5); }

}  // namespace

bool Subject::MoveLabel(LabelPoint position) {
    if (std::abs(position.x - lastLabelPosition.x) <= kLabelSlack &&
        std::abs(position.y - lastLabelPosition.y) <= kLabelSlack)
        return false;
    lastLabelPosition = position;
    return true;
}

ScreenRect ToScreen(const FrameFace& face, const DisplayGeometry& display) {
    if (display.shownWidth == display.frameColumns && display.shownHeight == display.frameRows)
        return {face.x, face.y, face.x + face.width, face.y + face.height};
    if (display.shownWidth == 0 || display.shownHeight == 0 || display.frameColumns == 0 || display.frameRows == 0)
        return {};
    const double sx = double(display.shownWidth) / display.frameColumns;
    const double sy = double(display.shownHeight) / display.frameRows;
    ScreenRect rect;
    rect.left = Scaled(face.x, sx);
    rect.top = Scaled(face.y, sy);
    rect.right = rect.left + Scaled(face.width, sx);
    rect.bottom = rect.top + Scaled(face.height, sy);
    return rect;
}

uint32_t NextSubjectId() {
    static std::atomic<uint32_t> counter{0};
    return ++counter;
}

void SubjectTracker::ScoreOverlaps(std::span<const FrameFace> faces) {
    const size_t scored = std::min<size_t>(faces.size(), kFacesPerSubject);
    for (auto& subject : subjects_) {
        subject->faceIndex = -1;
        std::fill(std::begin(subject->overlapScores), std::end(subject->overlapScores), -1);
        const int64_t ownArea = Area(subject->rectangle.width, subject->rectangle.height);
        for (size_t i = 0; i < scored; ++i) {
            const int64_t overlap = IntersectionArea(faces[i], subject->rectangle);
            if (overlap > 0 && double(overlap) >= kOverlapShare * double(ownArea))
                subject->overlapScores[i] = int32_t(std::min<int64_t>(overlap, INT32_MAX));
        }
    }
}

void SubjectTracker::AssignByLargestOverlap(size_t faceCount) {
    const size_t scored = std::min<size_t>(faceCount, kFacesPerSubject);
    for (;;) {
        int bestFace = -1;
        int bestSubject = -1;
        int32_t bestScore = -1;
        for (size_t face = 0; face < scored; ++face) {
            FaceTableEntry& entry = faceTable_[face];
            if (entry.assigned) continue;
            entry.bestOverlap = -1;
            entry.subjectIndex = -1;
            for (size_t s = 0; s < subjects_.size(); ++s) {
                const Subject& subject = *subjects_[s];
                if (subject.faceIndex != -1) continue;
                // Strictly greater keeps the first subject on equal scores.
                if (subject.overlapScores[face] > entry.bestOverlap) {
                    entry.bestOverlap = subject.overlapScores[face];
                    entry.subjectIndex = int32_t(s);
                }
            }
            if (entry.subjectIndex >= 0 && entry.bestOverlap > bestScore) {
                bestScore = entry.bestOverlap;
                bestFace = int(face);
                bestSubject = entry.subjectIndex;
            }
        }
        if (bestFace < 0) return;
        subjects_[size_t(bestSubject)]->faceIndex = bestFace;
        faceTable_[size_t(bestFace)].assigned = true;
        faceTable_[size_t(bestFace)].subjectIndex = bestSubject;
    }
}

void SubjectTracker::Track(std::span<const FrameFace> faces, const cv::Mat& frame, double now,
                           const DisplayGeometry& display) {
    OSTROVID_ASSERT(owner_.IsCurrent(), "SubjectTracker is for the user-interface thread only");
    faceTable_.assign(faces.size(), FaceTableEntry{});
    ScoreOverlaps(faces);
    AssignByLargestOverlap(faces.size());

    for (size_t i = 0; i < faces.size(); ++i) {
        FaceTableEntry& entry = faceTable_[i];
        if (entry.assigned) {
            Subject& subject = *subjects_[size_t(entry.subjectIndex)];
            subject.lastSeen = now;
            subject.rectangle = faces[i];
            subject.screen = ToScreen(faces[i], display);
            entry.subjectId = subject.id;
            continue;
        }
        entry.subjectIndex = -1;
        try {
            auto subject = std::make_unique<Subject>();
            subject->id = NextSubjectId();
            subject->firstSeen = subject->lastSeen = now;
            subject->rectangle = faces[i];
            subject->screen = ToScreen(faces[i], display);
            std::fill(std::begin(subject->overlapScores), std::end(subject->overlapScores), -1);
            subject->faceIndex = int32_t(i);
            subjects_.push_back(std::move(subject));
        } catch (const std::bad_alloc&) {
            // The face stays without a subject and is drawn as unidentified.
            continue;
        }
        entry.subjectIndex = int32_t(subjects_.size() - 1);
        entry.subjectId = subjects_.back()->id;
        events_.FaceDetected(*subjects_.back(), frame);
    }
}

void SubjectTracker::RemoveVanished(double now, bool shortInvisibility) {
    OSTROVID_ASSERT(owner_.IsCurrent(), "SubjectTracker is for the user-interface thread only");
    for (size_t s = 0; s < subjects_.size();) {
        const Subject& subject = *subjects_[s];
        const bool vanished =
            shortInvisibility ? platform::OleSpan(subject.lastSeen, now) > kShortInvisibility : !subject.HasFace();
        if (!vanished) {
            ++s;
            continue;
        }
        if (subject.personId == 0) events_.UnrecognizedSubjectVanished(subject, now);
        events_.PresenceEnded(subject,
                              std::chrono::duration<double>(platform::OleSpan(subject.firstSeen, now)).count());
        subjects_.erase(subjects_.begin() + ptrdiff_t(s));
    }
    // Indices into the list moved; the table keeps pointing at the right subjects by id.
    for (FaceTableEntry& entry : faceTable_) {
        entry.subjectIndex = -1;
        for (size_t s = 0; s < subjects_.size(); ++s)
            if (entry.subjectId != 0 && subjects_[s]->id == entry.subjectId) entry.subjectIndex = int32_t(s);
    }
}

void SubjectTracker::Clear() {
    OSTROVID_ASSERT(owner_.IsCurrent(), "SubjectTracker is for the user-interface thread only");
    subjects_.clear();
    faceTable_.clear();
}

Subject* SubjectTracker::Find(uint32_t id) const {
    auto it = std::lower_bound(subjects_.begin(), subjects_.end(), id,
                               [](const std::unique_ptr<Subject>& s, uint32_t value) { return s->id < value; });
    return it != subjects_.end() && (*it)->id == id ? it->get() : nullptr;
}

const Subject* SubjectTracker::SubjectOfFace(size_t face) const {
    if (face >= faceTable_.size() || faceTable_[face].subjectIndex < 0) return nullptr;
    return subjects_[size_t(faceTable_[face].subjectIndex)].get();
}

std::vector<DispatchSubject*> SubjectTracker::SubjectsInFaceOrder() const {
    std::vector<DispatchSubject*> result;
    for (size_t face = 0; face < faceTable_.size(); ++face)
        if (faceTable_[face].subjectIndex >= 0)
            result.push_back(subjects_[size_t(faceTable_[face].subjectIndex)].get());
    return result;
}

}  // namespace recognition
