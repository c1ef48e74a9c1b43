#pragma once
// Enrolment folders made from Debian's dlib example faces ("johns": 5 people x 11 aligned
// 150x150 crops): one sub-folder per person named "Surname Forename", each crop enlarged to
// 300x300 so that it passes the 200-pixel minimum of samples. Also re-framed variants (shifts,
// scales, mirror images) for folders of any size. The including target defines DLIB_EXAMPLES_DIR.

#include <QDir>
#include <QString>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

inline constexpr int kEnrolPictureSide = 300;

struct JohnsPerson {
    QString folderName;                 // "Savage John"
    std::vector<std::string> pictures;  // the example files, in name order
};

// The five people of the examples, in name order.
inline std::vector<JohnsPerson> JohnsPeople() {
    std::vector<JohnsPerson> people;
    const std::filesystem::path root = std::filesystem::path(DLIB_EXAMPLES_DIR) / "johns";
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(root, error)) {
        const std::string name = entry.path().filename().string();  // "John_Savage"
        const auto underscore = name.find('_');
        JohnsPerson person;
        person.folderName = QString::fromStdString(name.substr(underscore + 1) + " " + name.substr(0, underscore));
        for (const auto& file : std::filesystem::directory_iterator(entry.path()))
            person.pictures.push_back(file.path().string());
        std::sort(person.pictures.begin(), person.pictures.end());
        people.push_back(std::move(person));
    }
    std::sort(people.begin(), people.end(),
              [](const JohnsPerson& a, const JohnsPerson& b) { return a.folderName < b.folderName; });
    return people;
}

// The crop enlarged to kEnrolPictureSide, then re-framed by variant (0 leaves it as it is):
// shifted by up to 30 pixels, scaled by 0.85..1.15 about the centre, mirrored on odd variants.
inline cv::Mat EnrolPicture(const std::string& example, int variant = 0) {
    const cv::Mat crop = cv::imread(example);
    if (crop.empty()) return crop;
    cv::Mat picture;
    cv::resize(crop, picture, cv::Size(kEnrolPictureSide, kEnrolPictureSide), 0, 0, cv::INTER_CUBIC);
    if (variant == 0) return picture;
    const double scale = 0.85 + 0.03 * (variant % 11);
    const double dx = (variant * 7) % 61 - 30;
    const double dy = (variant * 13) % 61 - 30;
    const cv::Point2f centre(kEnrolPictureSide / 2.0f, kEnrolPictureSide / 2.0f);
    cv::Mat transform = cv::getRotationMatrix2D(centre, 0, scale);
    transform.at<double>(0, 2) += dx;
    transform.at<double>(1, 2) += dy;
    cv::Mat moved;
    cv::warpAffine(picture, moved, transform, picture.size(), cv::INTER_LINEAR, cv::BORDER_REPLICATE);
    if (variant % 2 == 1) cv::flip(moved, moved, 1);
    return moved;
}

// Writes one person's pictures into root/<folderName>/ as JPEG files; false when one failed.
inline bool WritePersonFolder(const QString& root, const QString& folderName, const std::vector<cv::Mat>& pictures) {
    const QDir folder(QDir(root).filePath(folderName));
    if (!QDir().mkpath(folder.path())) return false;
    for (size_t i = 0; i < pictures.size(); ++i) {
        const QString file = folder.filePath(QStringLiteral("%1.jpg").arg(i, 3, 10, QLatin1Char('0')));
        if (pictures[i].empty() || !cv::imwrite(file.toStdString(), pictures[i])) return false;
    }
    return true;
}

// The five johns folders under root, each picture enlarged, every picture of a person but
// those in `heldBack` (example paths). The number of pictures written, -1 on failure.
inline int WriteJohnsFolders(const QString& root, const std::vector<std::string>& heldBack = {}) {
    int written = 0;
    for (const JohnsPerson& person : JohnsPeople()) {
        std::vector<cv::Mat> pictures;
        for (const std::string& example : person.pictures)
            if (std::find(heldBack.begin(), heldBack.end(), example) == heldBack.end())
                pictures.push_back(EnrolPicture(example));
        if (!WritePersonFolder(root, person.folderName, pictures)) return -1;
        written += static_cast<int>(pictures.size());
    }
    return written;
}

}  // namespace testsupport
