#pragma once
// Purpose: the picture files handed to scripts and mails: each lives in the temporary folder under
//          a fresh GUID name and is deleted when its owner goes, whatever path the action took.
// Threads: any; one owner at a time.
// Owns: TemporaryFile its file on disk.

#include <opencv2/core/mat.hpp>

#include <QString>

#include <cstdint>
#include <optional>
#include <utility>

namespace actions {

// The formats a script may ask its pictures in; mail attachments are always Jpeg.
enum class ImageFileFormat : int32_t { Jpeg = 0, Png = 1, Bmp = 2 };

// A setting's value; an unknown number falls back to Jpeg.
ImageFileFormat ImageFileFormatFrom(int32_t setting);

class TemporaryFile {
public:
    explicit TemporaryFile(QString path) : path_(std::move(path)) {}
    ~TemporaryFile();
    TemporaryFile(TemporaryFile&& other) noexcept : path_(std::exchange(other.path_, QString())) {}
    TemporaryFile& operator=(TemporaryFile&& other) noexcept;
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const QString& Path() const { return path_; }

private:
    void Remove();

    QString path_;
};

// Writes the image to "<temp folder>ostv{GUID}.jpg|png|bmp" (JPEG at quality 100). The name is
// claimed exclusively with mode 0600, so a file or link already planted there is never written
// through. Nothing when encoding or writing failed; no file is left behind then.
std::optional<TemporaryFile> SaveTemporaryImage(const cv::Mat& image, ImageFileFormat format);

}  // namespace actions
