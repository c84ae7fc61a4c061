#pragma once

#include <QString>

#include <optional>

namespace velvane {

// The checks before a split, in order: the cue sheet and the audio file readable, the destination a folder.
// The message for the first that fails; nothing when all pass.
[[nodiscard]] std::optional<QString> splitRequestProblem(const QString &cuePath, const QString &audioFile,
                                                         const QString &destination);

[[nodiscard]] QString cueFileNotFoundMessage();

} // namespace velvane
