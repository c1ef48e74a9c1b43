#pragma once
// Purpose: how a picture becomes a stored photo: the file format it keeps, the 400-pixel bound
//          on either side, and the encoding.
// Threads: any.
// Owns: nothing.

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace database {

enum class PhotoFormat { Jpeg, Bmp, Png, Gif };

// Neither side of a stored photo is longer.
constexpr int kMaxPhotoSide = 400;

// By the file's extension, without case: ".bmp", ".png", ".gif", anything else JPEG.
PhotoFormat PhotoFormatForFile(const QString& path);
// A clipboard image: PNG when it has 32 bits a pixel, otherwise JPEG.
PhotoFormat PhotoFormatForClipboard(const QImage& image);

// The size a picture is stored at: unchanged when it fits, else the longer side 400 and the
// other in proportion, rounded to the nearest pixel (at least 1).
QSize PhotoSize(const QSize& picture);

// The picture scaled to PhotoSize (bicubic) and encoded in the format; empty on failure, which
// is logged as "AddImageToPersonPhotoList(): Exception on image resizing." when the scaling
// failed.
QByteArray EncodePhoto(const QImage& picture, PhotoFormat format);

}  // namespace database
