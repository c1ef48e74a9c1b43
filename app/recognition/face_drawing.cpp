#include "app/recognition/face_drawing.h"

#include <opencv2/imgproc.hpp>

namespace recognition {

cv::Scalar FaceColour(const Subject* subject) {
    if (subject && subject->personId != 0) {
        if (subject->person.listNumber == 0) return {0, 255, 0};
        if (subject->person.listNumber == 1) return {0, 0, 255};
    }
    return {255, 255, 255};
}

void DrawFaceFrames(cv::Mat& frame, std::span<const FrameFace> faces, const SubjectTracker& tracker) {
    for (size_t i = 0; i < faces.size(); ++i) {
        const FrameFace& face = faces[i];
        cv::rectangle(frame, cv::Rect(face.x, face.y, face.width, face.height), FaceColour(tracker.SubjectOfFace(i)), 1,
                      cv::LINE_AA);
    }
}

}  // namespace recognition
