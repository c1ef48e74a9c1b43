#include "tools/demo_cast.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>

namespace demo {

namespace {

// The johns' folders in name order: John_Salley, John_Savage, John_Schneider, John_Shimkus, ...
struct Known {
    const char* folder;
    const char16_t* name;
    DemoRole role;
};
constexpr Known kKnown[] = {
    {"John_Salley", u"Иванов Пётр", DemoRole::Green},
    {"John_Savage", u"Петров Сергей", DemoRole::Red},
    {"John_Schneider", u"Сидоров Алексей", DemoRole::Gray},
};
constexpr const char* kUnknownJohn = "John_Shimkus";
constexpr const char* kUnknownPhotos[] = {"Tom_Cruise_avp_2014_4.jpg", "2009_004587.jpg"};
// Of each known person's eleven pictures the first eight are enrolled, the rest seen by the camera.
constexpr size_t kEnrolled = 8;
// A face box grown by this much about its centre frames a face as the johns' crops do.
constexpr double kCropGrowth = 1.8;

QStringList PictureFiles(const QString& folder) {
    QStringList files;
    for (const QFileInfo& file : QDir(folder).entryInfoList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name))
        files.append(file.filePath());
    return files;
}

bool ReadAll(const QStringList& files, std::vector<cv::Mat>& pictures, QString& error) {
    for (const QString& file : files) {
        cv::Mat picture = recognition::ReadPictureFile(file);
        if (picture.empty()) {
            error = QStringLiteral("cannot read %1").arg(file);
            return false;
        }
        pictures.push_back(picture);
    }
    return true;
}

// A square around the photo's largest face, clipped to the photo.
cv::Mat LargestFaceCrop(const QString& file, recognition::FaceModels& models, QString& error) {
    const cv::Mat photo = recognition::ReadPictureFile(file);
    if (photo.empty()) {
        error = QStringLiteral("cannot read %1").arg(file);
        return {};
    }
    const std::vector<recognition::FrameFace> faces = models.DetectFaces(photo, 1);
    if (faces.empty()) {
        error = QStringLiteral("no face found in %1").arg(file);
        return {};
    }
    const recognition::FrameFace& face = faces.front();
    const int side = int(std::max(face.width, face.height) * kCropGrowth);
    const cv::Rect square(face.x + face.width / 2 - side / 2, face.y + face.height / 2 - side / 2, side, side);
    const cv::Rect inside = square & cv::Rect(0, 0, photo.cols, photo.rows);
    // A face at the photo's edge gives an oblong crop; the video wants a square.
    const int cut = std::min(inside.width, inside.height);
    return photo(cv::Rect(inside.x + (inside.width - cut) / 2, inside.y + (inside.height - cut) / 2, cut, cut)).clone();
}

}  // namespace

QString RoleFolderName(DemoRole role) {
    switch (role) {
    case DemoRole::Green:
        return QStringLiteral("green");
    case DemoRole::Red:
        return QStringLiteral("red");
    case DemoRole::Gray:
        return QStringLiteral("gray");
    case DemoRole::Unknown:
        break;
    }
    return {};
}

std::vector<DemoPerson> LoadDemoCast(const QString& examplesDir, recognition::FaceModels& models, QString& error) {
    const QDir johns(QDir(examplesDir).filePath(QStringLiteral("johns")));
    std::vector<DemoPerson> cast;
    for (const Known& known : kKnown) {
        const QStringList files = PictureFiles(johns.filePath(QString::fromLatin1(known.folder)));
        if (files.size() <= qsizetype(kEnrolled)) {
            error = QStringLiteral("%1 holds %2 pictures; %3 needed")
                        .arg(johns.filePath(QString::fromLatin1(known.folder)))
                        .arg(files.size())
                        .arg(kEnrolled + 1);
            return {};
        }
        DemoPerson person;
        person.name = QString::fromUtf16(known.name);
        person.role = known.role;
        if (!ReadAll(files.mid(0, kEnrolled), person.enrolPictures, error) ||
            !ReadAll(files.mid(kEnrolled), person.cameraFaces, error))
            return {};
        cast.push_back(std::move(person));
    }
    const QStringList unknownJohn = PictureFiles(johns.filePath(QString::fromLatin1(kUnknownJohn)));
    DemoPerson john;
    if (unknownJohn.isEmpty() || !ReadAll(unknownJohn.mid(0, 1), john.cameraFaces, error)) {
        if (error.isEmpty()) error = QStringLiteral("no pictures in %1").arg(johns.filePath(kUnknownJohn));
        return {};
    }
    cast.push_back(std::move(john));
    for (const char* photo : kUnknownPhotos) {
        DemoPerson stranger;
        const cv::Mat crop =
            LargestFaceCrop(QDir(examplesDir).filePath(QStringLiteral("faces/") + QString::fromLatin1(photo)), models,
                            error);
        if (crop.empty()) return {};
        stranger.cameraFaces.push_back(crop);
        cast.push_back(std::move(stranger));
    }
    return cast;
}

bool WriteEnrolFolders(const std::vector<DemoPerson>& cast, const QString& root, QString& error) {
    for (const DemoPerson& person : cast) {
        if (person.role == DemoRole::Unknown) continue;
        const QDir folder(QDir(root).filePath(RoleFolderName(person.role) + u'/' + person.name));
        if (!QDir().mkpath(folder.path())) {
            error = QStringLiteral("cannot create %1").arg(folder.path());
            return false;
        }
        for (size_t i = 0; i < person.enrolPictures.size(); ++i) {
            cv::Mat enlarged;
            cv::resize(person.enrolPictures[i], enlarged, cv::Size(kEnrolPictureSide, kEnrolPictureSide), 0, 0,
                       cv::INTER_CUBIC);
            const QString file = folder.filePath(QStringLiteral("%1.jpg").arg(i, 3, 10, QLatin1Char('0')));
            if (!cv::imwrite(QFile::encodeName(file).toStdString(), enlarged, {cv::IMWRITE_JPEG_QUALITY, 95})) {
                error = QStringLiteral("cannot write %1").arg(file);
                return false;
            }
        }
    }
    return true;
}

}  // namespace demo
