#pragma once

#include "components/tags/frontrewrite.h"
#include "components/tags/tagvalues.h"

namespace velvane {

// True when the file starts as a FLAC stream does: "fLaC", then its STREAMINFO block.
[[nodiscard]] bool isFlacFile(const QString &path);

// The piece's metadata blocks with a new VORBIS_COMMENT (its vendor kept) and front cover PICTURE in place of the
// old comments, pictures and padding; padding fills whatever room is left, so the front is usually written over
// the old one. Nothing when the blocks cannot be read.
[[nodiscard]] std::optional<FrontPlan> planFlacFront(const QString &path, const TagValues &values);

} // namespace velvane
