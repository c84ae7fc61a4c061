#pragma once

#include "components/tags/tagvalues.h"

#include <QByteArray>

namespace velvane {

enum class VorbisCommentIn
{
    OggPacket, // ends in a framing bit, and carries the cover as METADATA_BLOCK_PICTURE
    FlacBlock  // no framing bit; the cover goes into a PICTURE block of its own
};

// A Vorbis comment body (vendor, then the fields) with the given values as its only fields: the vendor of `old`
// stays.
[[nodiscard]] QByteArray vorbisCommentWith(const QByteArray &old, const TagValues &values, VorbisCommentIn where);

// The body of a FLAC PICTURE block holding the front cover; Vorbis comments carry the same bytes in base64.
[[nodiscard]] QByteArray flacPictureBody(const CoverImage &cover);

} // namespace velvane
