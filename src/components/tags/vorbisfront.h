#pragma once

#include "components/tags/frontrewrite.h"
#include "components/tags/tagvalues.h"

namespace velvane {

// True when the file starts an Ogg stream whose first packet is a Vorbis identification header.
[[nodiscard]] bool isOggVorbisFile(const QString &path);

// The Vorbis headers rebuilt around a new comment packet (the vendor kept, the comments replaced) in as many pages as
// before, so every audio page, sequence number included, stays as it is. Nothing when the headers cannot be read
// or share a page with audio.
[[nodiscard]] std::optional<FrontPlan> planVorbisFront(const QString &path, const TagValues &values);

} // namespace velvane
