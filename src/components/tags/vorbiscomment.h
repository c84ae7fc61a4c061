#pragma once

#include "components/tags/tagvalues.h"

#include <QByteArray>

namespace velvane {

// A Vorbis comment body (vendor, then the fields) with the given values as its only fields: the vendor of `old`
// stays. Ogg Vorbis ends its packet with a framing bit, FLAC's block has none.
[[nodiscard]] QByteArray vorbisCommentWith(const QByteArray &old, const TagValues &values, bool framingBit);

// The body of a FLAC PICTURE block holding the front cover; Vorbis comments carry the same bytes in base64.
[[nodiscard]] QByteArray flacPictureBody(const CoverImage &cover);

} // namespace velvane
