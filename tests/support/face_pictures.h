#pragma once
// The real face models (Data/, made by scripts/prepare.sh) and pictures made from Debian's dlib
// example faces, for tests of the face analysis around samples. The including target defines
// OSTROVID_DATA_DIR and DLIB_EXAMPLES_DIR.

#include "app/recognition/face_models.h"

#include <gtest/gtest.h>

#include <QString>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include <cstdlib>
#include <memory>
#include <string>

namespace testsupport {

inline QString FaceDataDir() {
    const char* dir = std::getenv("OSTROVID_DATA_DIR");
    return QString::fromLocal8Bit(dir && *dir ? dir : OSTROVID_DATA_DIR);
}

inline std::string DlibExample(const std::string& relative) { return std::string(DLIB_EXAMPLES_DIR) + "/" + relative; }

// Loaded once for the whole binary; loading the 68-point model alone takes a second.
inline recognition::FaceModels* SharedFaceModels() {
    static QString error;
    static std::unique_ptr<recognition::FaceModels> models = recognition::FaceModels::Load(FaceDataDir(), error);
    if (!models)
        ADD_FAILURE() << "face models in " << FaceDataDir().toStdString() << ": " << error.toStdString()
                      << " (scripts/prepare.sh makes them)";
    return models.get();
}

// Two different people (aligned 150x150 crops) side by side on a plain 400x300 background: the
// left face at columns 25..174, the right one at 225..374, both at rows 75..224.
inline cv::Mat TwoFacePicture() {
    cv::Mat picture(300, 400, CV_8UC3, cv::Scalar(120, 130, 140));
    const cv::Mat left = cv::imread(DlibExample("johns/John_Savage/000264_01099001.jpg"));
    const cv::Mat right = cv::imread(DlibExample("johns/John_Salley/000179_02159509.jpg"));
    EXPECT_FALSE(left.empty() || right.empty()) << "dlib's example faces (libdlib19.1)";
    if (left.empty() || right.empty()) return picture;
    left.copyTo(picture(cv::Rect(25, 75, left.cols, left.rows)));
    right.copyTo(picture(cv::Rect(225, 75, right.cols, right.rows)));
    return picture;
}

}  // namespace testsupport
