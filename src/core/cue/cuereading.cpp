#include "core/cue/cuereading.h"

#include "core/cue/cueparser.h"
#include "core/cue/cuepaths.h"
#include "core/cue/cuetextdecoder.h"
#include "core/cue/linereader.h"
#include "core/cue/sheetalbumreading.h"

#include <QSet>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace velvane {

CueReading cueReadingFromLines(const QString &cuePath, const QStringList &lines)
{
    // The destination and the album come from where the sheet lies, not from what it says: the album's TITLE
    // line is often missing or generic, and the pieces belong next to the sheet.
    const QString destination = folderOfPath(cuePath);
    CueReading reading;
    reading.cuePath = cuePath;
    reading.destination = destination;
    reading.album = lastPathComponent(destination);
    reading.audio = searchAudioInLines(lines, cuePath);
    reading.tracks = parseTrackLines(lines, cuePath);
    reading.sheetAlbum = sheetAlbumFromLines(lines);
    QSet<QString> seen;
    for (const TrackEntry &track : std::as_const(reading.tracks)) {
        const auto file = track.constFind(u"file"_s);
        if (file != track.cend() && !seen.contains(*file)) {
            seen.insert(*file);
            reading.audioFiles.append(*file);
        }
    }
    for (const QString &line : lines) {
        if (!line.startsWith(u"file", Qt::CaseInsensitive))
            continue;
        const QString taken = fileOnFileLine(line, destination);
        const QString written = fileOnFileLine(line, {}, FileLookup::AsWritten);
        if (taken != fileOnFileLine(line, destination, FileLookup::AsWritten) &&
            std::none_of(reading.filesFoundBeside.cbegin(), reading.filesFoundBeside.cend(),
                         [&](const FileFoundBeside &found) { return found.written == written; }))
            reading.filesFoundBeside.append({written, taken});
    }
    return reading;
}

CueReading readCueSheet(const QString &cuePath, const TextEncoding *encoding)
{
    const CueFileBytes read = readCueFileBytes(cuePath);
    if (!read.ok()) {
        CueReading unread = cueReadingFromLines(cuePath, {});
        unread.error = read.error;
        return unread;
    }
    const DecodedCueText decoded = encoding ? decodeCueTextAs(read.bytes, *encoding) : decodeCueText(read.bytes);
    CueReading reading = cueReadingFromLines(cuePath, linesInText(decoded.text));
    reading.encoding = decoded.encoding;
    reading.encodingCandidates = decoded.candidates;
    return reading;
}

} // namespace velvane
