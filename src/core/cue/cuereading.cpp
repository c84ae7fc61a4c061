#include "core/cue/cuereading.h"

#include "core/cue/cuepaths.h"

namespace velvane {

CueReading cueReadingFromLines(const QString &cuePath, const QStringList &lines)
{
    // The destination and the album come from where the sheet lies, not from what it says: the album's TITLE
    // line is often missing or generic, and the pieces belong next to the sheet.
    const QString destination = folderOfPath(cuePath);
    return {cuePath, destination, lastPathComponent(destination), searchAudioInLines(lines, cuePath),
            parseTrackLines(lines)};
}

CueReading readCueSheet(const QString &cuePath)
{
    return cueReadingFromLines(cuePath, linesInFileAtPath(cuePath));
}

} // namespace velvane
