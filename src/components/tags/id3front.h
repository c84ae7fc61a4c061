#pragma once

#include "components/tags/frontrewrite.h"
#include "components/tags/tagvalues.h"

namespace TagLib::ID3v2 {
class Tag;
}

namespace velvane {

// Sets the values into a tag, replacing the frames they stand for.
void applyId3Values(TagLib::ID3v2::Tag &tag, const TagValues &values);

// True when the file holds MPEG audio: a frame sync that TagLib takes for a real frame.
[[nodiscard]] bool isMpegFile(const QString &path);

// An ID3v2.3 tag with the given values, and nothing else, in front of the piece's audio, in place of any ID3v2 tag
// there; trailing ID3v1 and APE tags are dropped. Nothing when the piece cannot be read.
[[nodiscard]] std::optional<FrontPlan> planId3Front(const QString &path, const TagValues &values);

} // namespace velvane
