// Prints the faces the program finds in picture files, with their descriptors, through the same
// detection and description the program runs on camera frames and enrolment pictures.
// Usage: ostrovid-faces [--data DIR] [--max-subject N] FILE...
// One line per face: file, tab, "x y width height", tab, the 128 values ("%.9g", blank-separated).

#include "app/recognition/face_models.h"

#include <QDir>
#include <QFileInfo>
#include <QString>

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int kDefaultMaxSubject = 8;
constexpr int kMaxMaxSubject = 16;

QString ProgramDataDir() {
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return "Data";
    return QFileInfo(QString::fromLocal8Bit(path, static_cast<int>(length))).absolutePath() + "/Data";
}

int Usage(const char* program) {
    std::fprintf(stderr, "usage: %s [--data DIR] [--max-subject 1..%d] FILE...\n", program, kMaxMaxSubject);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    QString dataDir = ProgramDataDir();
    int maxSubject = kDefaultMaxSubject;
    std::vector<const char*> files;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--data") == 0 && i + 1 < argc) {
            dataDir = QString::fromLocal8Bit(argv[++i]);
        } else if (std::strcmp(argv[i], "--max-subject") == 0 && i + 1 < argc) {
            char* end = nullptr;
            const long value = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || value < 1 || value > kMaxMaxSubject) return Usage(argv[0]);
            maxSubject = static_cast<int>(value);
        } else if (std::strcmp(argv[i], "--") == 0) {
            files.insert(files.end(), argv + i + 1, argv + argc);
            break;
        } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
            return Usage(argv[0]);
        } else {
            files.push_back(argv[i]);
        }
    }
    if (files.empty()) return Usage(argv[0]);

    QString error;
    // One thread, which describes through the loaded network: the pool is never borrowed from.
    const std::unique_ptr<recognition::FaceModels> models =
        recognition::FaceModels::Load(dataDir, error, recognition::PooledNetworks{1});
    if (!models) {
        std::fprintf(stderr, "%s: cannot load the face models: %s\n", argv[0], qPrintable(error));
        return 2;
    }
    recognition::FaceDescriber& describer = models->InterfaceDescriber();

    int status = 0;
    for (const char* file : files) {
        const cv::Mat picture = recognition::ReadPictureFile(QString::fromLocal8Bit(file));
        if (picture.empty()) {
            std::fprintf(stderr, "%s: %s: cannot read the file as a picture\n", argv[0], file);
            status = 1;
            continue;
        }
        for (const recognition::FrameFace& face : models->DetectFaces(picture, maxSubject)) {
            const std::optional<recognition::DescribedFace> described = describer.Describe(picture, face);
            if (!described) continue;
            std::printf("%s\t%d %d %d %d\t", file, face.x, face.y, face.width, face.height);
            const auto& values = described->descriptor.values;
            for (size_t k = 0; k < values.size(); ++k) std::printf(k ? " %.9g" : "%.9g", values[k]);
            std::putchar('\n');
        }
        std::fflush(stdout);
    }
    return status;
}
