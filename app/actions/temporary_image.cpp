#include "app/actions/temporary_image.h"

#include "platform/hostinfo.h"
#include "platform/paths.h"
#include "platform/unique_fd.h"

#include <opencv2/imgcodecs.hpp>

#include <QFile>

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <vector>

namespace actions {

namespace {

const char* Extension(ImageFileFormat format) {
    switch (format) {
    case ImageFileFormat::Png:
        return ".png";
    case ImageFileFormat::Bmp:
        return ".bmp";
    case ImageFileFormat::Jpeg:
        break;
    }
    return ".jpg";
}

bool WriteAll(int fd, const std::vector<uchar>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

}  // namespace

ImageFileFormat ImageFileFormatFrom(int32_t setting) {
    switch (setting) {
    case int32_t(ImageFileFormat::Png):
        return ImageFileFormat::Png;
    case int32_t(ImageFileFormat::Bmp):
        return ImageFileFormat::Bmp;
    default:
        return ImageFileFormat::Jpeg;
    }
}

TemporaryFile::~TemporaryFile() { Remove(); }

TemporaryFile& TemporaryFile::operator=(TemporaryFile&& other) noexcept {
    if (this != &other) {
        Remove();
        path_ = std::exchange(other.path_, QString());
    }
    return *this;
}

void TemporaryFile::Remove() {
    if (!path_.isEmpty()) ::unlink(QFile::encodeName(path_).constData());
    path_.clear();
}

std::optional<TemporaryFile> SaveTemporaryImage(const cv::Mat& image, ImageFileFormat format) {
    const char* extension = Extension(format);
    std::vector<uchar> bytes;
    try {
        std::vector<int> parameters;
        if (format == ImageFileFormat::Jpeg) parameters = {cv::IMWRITE_JPEG_QUALITY, 100};
        if (image.empty() || !cv::imencode(extension, image, bytes, parameters)) return std::nullopt;
    } catch (const cv::Exception&) {
        return std::nullopt;
    }
    const QString path =
        platform::TempFolder() + QStringLiteral("ostv") + platform::NewGuidText() + QLatin1StringView(extension);
    // A name that is already taken is not ours: whatever is there stays untouched.
    platform::UniqueFd fd(
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (fd.get() < 0) return std::nullopt;
    TemporaryFile file(path);
    if (!WriteAll(fd.get(), bytes) || fd.release() != 0) return std::nullopt;
    return file;
}

}  // namespace actions
