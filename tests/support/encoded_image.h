#pragma once
// A picture as the bytes of an image file of the given format ("PNG", "JPG", ...).

#include <QBuffer>
#include <QByteArray>
#include <QImage>

namespace testsupport {

inline QByteArray Encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

}  // namespace testsupport
