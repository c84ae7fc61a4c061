#pragma once

#include <QByteArray>
#include <QString>

namespace velvane {

// A picture to carry into every track as its front cover: the file's bytes as they are, never re-encoded.
struct CoverImage
{
    QByteArray data;
    QString mimeType; // "image/jpeg" or "image/png"
    int width = 0;
    int height = 0;
};

} // namespace velvane
