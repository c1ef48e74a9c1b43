#pragma once
// Purpose: reading pictures the operator hands in (files, clipboard images, stored BINDATA)
//          without trusting them: the size a header claims is checked before anything is decoded,
//          so a damaged or hostile file gives a clear failure, never a crash or a huge
//          allocation. Also the temporary picture files of the sample paths.
// Threads: any.
// Owns: TempPictureFile owns its file and deletes it.

#include <QByteArray>
#include <QImage>
#include <QString>

#include <opencv2/core/mat.hpp>

namespace database {

// The largest picture decoded at all: 100 megapixels.
constexpr qint64 kMaxPicturePixels = 100'000'000;

enum class PictureStatus { Loaded, Missing, Unreadable, TooLarge };

struct LoadedPicture {
    PictureStatus status = PictureStatus::Unreadable;
    QImage image;  // set when Loaded
};

LoadedPicture LoadPictureFile(const QString& path);
// A stored image (BINDATA); a null image when the bytes are no picture or too large.
QImage DecodePicture(const QByteArray& bytes);

// A new "ostv{GUID}<extension>" path in the temporary folder; the file is deleted when this ends.
class TempPictureFile {
public:
    explicit TempPictureFile(const QString& extension);
    ~TempPictureFile();
    TempPictureFile(const TempPictureFile&) = delete;
    TempPictureFile& operator=(const TempPictureFile&) = delete;
    const QString& Path() const { return path_; }

private:
    QString path_;
};

// A chip in the capture's byte order (blue, green, red) as stored sample bytes: a JPEG at the
// encoder's usual quality (75). Empty on failure.
QByteArray EncodeSampleChip(const cv::Mat& chip);

// The sample image as stored from a chip: written at quality 100 to a temporary file, read back
// and encoded as EncodeSampleChip does; the file is gone afterwards whatever happened. Empty
// when the file could not be written or read.
QByteArray SampleImageThroughTempFile(const cv::Mat& chip);

}  // namespace database
