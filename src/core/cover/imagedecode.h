#pragma once

#include <QByteArray>
#include <QString>

namespace velvane {

struct DecodedImage
{
    int width = 0;
    int height = 0;
    QString error; // the decoder's words; empty when every row decoded
};

// Decodes every row of an image and keeps nothing but its size. A JPEG is decoded at an eighth of its size, which
// its decoder does several times faster from the same bytes. A damaged stretch that the decoder can draw over is no
// error: a JPEG cut short must be told by its missing end marker.
[[nodiscard]] DecodedImage decodeJpeg(const QByteArray &bytes);
[[nodiscard]] DecodedImage decodePng(const QByteArray &bytes);

} // namespace velvane
