#pragma once
// Who appears in the demonstration: three people of Debian's dlib examples ("johns") enrolled
// under made-up names on the green, red and gray lists, and people nobody enrolled (another of
// the johns and the largest faces of two photos of the "faces" examples). A known person's camera
// pictures are not among his enrolment pictures, so the demonstration recognizes faces the
// database never saw. Used on one thread; the cast owns its pictures.

#include "app/recognition/face_models.h"

#include <QString>
#include <opencv2/core/mat.hpp>

#include <vector>

namespace demo {

enum class DemoRole { Green, Red, Gray, Unknown };

struct DemoPerson {
    QString name;  // "Иванов Пётр" (surname, forename); empty for an unknown person
    DemoRole role = DemoRole::Unknown;
    std::vector<cv::Mat> enrolPictures;  // face crops for ostrovid-enrol (BGR)
    std::vector<cv::Mat> cameraFaces;    // other square face crops of him, for the video (BGR)
};

// The enrolment pictures are enlarged to this side: samples need 200 pixels at least.
inline constexpr int kEnrolPictureSide = 300;

// The cast in a fixed order: green, red, gray, then the unknown people. Empty, with the reason in
// `error`, when an example picture is missing or shows no face.
std::vector<DemoPerson> LoadDemoCast(const QString& examplesDir, recognition::FaceModels& models, QString& error);

// "green", "red", "gray"; empty for Unknown.
QString RoleFolderName(DemoRole role);

// Writes root/<list>/<name>/NNN.jpg for every enrolled person, the pictures enlarged to
// kEnrolPictureSide: the folder layout ostrovid-enrol takes, one run per list. False, with the
// reason in `error`, when a folder or a file cannot be written.
bool WriteEnrolFolders(const std::vector<DemoPerson>& cast, const QString& root, QString& error);

}  // namespace demo
