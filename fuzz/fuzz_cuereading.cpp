// Reads arbitrary bytes as a cue sheet, from memory and from a file, and checks what any reading must give.

#include "fuzzcheck.h"

#include "core/cue/cuereading.h"
#include "core/cue/cuetextdecoder.h"
#include "core/cue/linereader.h"
#include "core/split/starttimes.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QStringDecoder>
#include <QTemporaryDir>

#include <cstdint>

using namespace Qt::StringLiterals;

namespace {

// Memory-backed when it can be: the file is rewritten for every input.
QString sheetPath()
{
    static const QTemporaryDir dir(QDir(u"/dev/shm"_s).exists() ? u"/dev/shm/velvane-fuzz-XXXXXX"_s
                                                                : QDir::tempPath() + u"/velvane-fuzz-XXXXXX"_s);
    require(dir.isValid(), "a temporary folder for the sheet", dir.errorString());
    return dir.filePath(u"sheet.cue"_s);
}

bool isCleaned(const QString &value)
{
    const auto trimmed = [](QChar c) {
        return c == u' ' || c == u'\t' || c == u'"';
    };
    return value.isEmpty() || (!trimmed(value.front()) && !trimmed(value.back()));
}

void checkLines(const QStringList &lines)
{
    for (const QString &line : lines) {
        require(!line.isEmpty(), "no empty line");
        require(!line.contains(u'\n') && !line.contains(u'\r'), "no line break inside a line", line);
        require(!line.front().isSpace(), "a line starts after the white space before it", line);
    }
}

void checkReading(const velvane::CueReading &reading, const QString &cuePath, qsizetype lineCount)
{
    const QString folder = QFileInfo(cuePath).path() + u'/';
    require(reading.destination + u'/' == folder, "the destination is the sheet's folder", reading.destination);
    require(!reading.audio || reading.audio->path.startsWith(folder), "the audio lies in the sheet's folder",
            reading.audio ? reading.audio->path : QString());
    require(reading.tracks.size() <= lineCount, "no more tracks than lines");

    QSet<QString> files;
    for (const velvane::TrackEntry &track : reading.tracks) {
        require(!track.isEmpty() && track.contains(u"performer"_s), "every track has a performer");
        for (auto it = track.cbegin(); it != track.cend(); ++it) {
            if (it.key() == u"file"_s) {
                require(it->isEmpty() || it->startsWith(folder), "a track's file lies in the sheet's folder", *it);
                require(reading.audioFiles.contains(*it), "a track's file is among the sheet's files", *it);
                files.insert(*it);
            } else {
                require(isCleaned(*it), "values are cleaned at both ends", *it);
            }
        }
    }
    require(files.size() == reading.audioFiles.size(), "the sheet's files are the tracks' files, each once",
            reading.audioFiles.join(u'|'));

    // Neither check may crash or overflow, whatever the times say.
    (void)velvane::checkStartTimes(reading.tracks, false);
    (void)velvane::checkStartTimes(reading.tracks, true);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString path = sheetPath();

    const QString text = velvane::decodeCueSheet(bytes);
    if (!bytes.startsWith("\xEF\xBB\xBF") && !bytes.startsWith("\xFE\xFF") && !bytes.startsWith("\xFF\xFE")) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString asUtf8 = utf8.decode(bytes);
        require(utf8.hasError() || text == asUtf8, "valid UTF-8 is read as UTF-8");
    }
    const QStringList lines = velvane::linesInText(text);
    checkLines(lines);
    const velvane::CueReading fromBytes = velvane::cueReadingFromLines(path, lines);
    checkReading(fromBytes, path, lines.size());

    QFile file(path);
    require(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size(),
            "the sheet is written", file.errorString());
    file.close();
    const velvane::CueReading fromFile = velvane::readCueSheet(path);
    require(fromFile.tracks == fromBytes.tracks && fromFile.audioFiles == fromBytes.audioFiles &&
                fromFile.destination == fromBytes.destination && fromFile.album == fromBytes.album,
            "a file reads as its bytes do");
    require(fromFile.audio.has_value() == fromBytes.audio.has_value() &&
                (!fromFile.audio ||
                 (fromFile.audio->path == fromBytes.audio->path && fromFile.audio->format == fromBytes.audio->format)),
            "a file's audio is its bytes' audio");
    return 0;
}
