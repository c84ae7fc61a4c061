#pragma once

#include "components/tags/frontrewrite.h"
#include "components/tags/tagvalues.h"

namespace velvane {

// True when the file is a RIFF WAVE file.
[[nodiscard]] bool isWavFile(const QString &path);

// An ID3v2.3 chunk and a RIFF INFO list with the given values, in place of any there. A piece whose tag chunks all
// follow its audio (as the cutter writes it) gets them appended, so no audio moves; otherwise it is tagged as a copy
// that takes its place. ok only when the audio reads back as before; otherwise the file is as it was.
[[nodiscard]] RewriteResult writeWavTags(const QString &path, const FileStamp &examined, const TagValues &values);

} // namespace velvane
