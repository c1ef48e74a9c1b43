#pragma once
// Purpose: decoding the stored pictures (photos, samples) for drawing in the browser and the
//          person chooser.
// Threads: any (pure functions).
// Owns: nothing.

#include <QByteArray>
#include <QImage>

namespace browser {

// The image as it is drawn: a 32-bit picture with an alpha channel gets every colour channel
// multiplied by its alpha (channel * alpha / 255); a null image for bytes that are no picture.
QImage DecodeForDisplay(const QByteArray& encoded);
// The same for an image already decoded.
QImage PremultipliedForDisplay(const QImage& image);

}  // namespace browser
