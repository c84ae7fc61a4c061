#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace velvane {

// The checks before a split, in order: the cue sheet and the audio file readable, the destination a folder that
// takes new files. The message for the first that fails; nothing when all pass.
[[nodiscard]] std::optional<QString> splitRequestProblem(const QString &cuePath, const QString &audioFile,
                                                         const QString &destination);

// The audio file to check before a split cut file by file: one readable file of the sheet is enough to start, and
// the tracks whose file is missing fail with that reason. The first readable regular file, else the first file, so
// the check names it; empty when there are none.
[[nodiscard]] QString firstReadableAudioFile(const QStringList &files);

// Albums in a format that is known but not cut (APE, WavPack and the like) are refused before anything is written.
// The message for the first of files in such a format; nothing when there is none.
[[nodiscard]] std::optional<QString> refusedFormatProblem(const QStringList &files);

[[nodiscard]] QString cueFileNotFoundMessage();
[[nodiscard]] QString audioFileNotFoundMessage();

// The window's cue sheet field may have been edited or cleared since the sheet was read; a split then must not cut
// the sheet read before. The message when the field no longer names readPath.
[[nodiscard]] std::optional<QString> sheetFieldProblem(const std::optional<QString> &readPath,
                                                       const QString &fieldText);

} // namespace velvane
