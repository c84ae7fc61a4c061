#pragma once

#include "core/cover/coverimage.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace velvane {

// Larger than any scan worth carrying into every track, and room enough for it in each piece's tag.
inline constexpr qint64 coverSizeLimit = 16 << 20;

// A cover taken from a file or from an album's tags, or why there is none to embed.
struct CoverReading
{
    std::optional<CoverImage> image;
    QString problem; // a clause in user words, "it is …"; empty when there is an image
};

// Takes bytes as a cover only when they are a JPEG or PNG image that decodes whole.
[[nodiscard]] CoverReading coverFromBytes(const QByteArray &bytes);
// Reads a file as a cover; anything but a regular file of at most coverSizeLimit bytes is refused unopened.
[[nodiscard]] CoverReading readCoverFile(const QString &path);

// One sentence for a cover that is not embedded: the file it came from, or whose tags held it, and the problem.
[[nodiscard]] QString coverRefusal(const QString &source, const QString &problem, bool inTags = false);

} // namespace velvane
