#include "core/cue/audiolookup.h"
#include "core/cue/cleanedstring.h"
#include "core/cue/cuepaths.h"

#include <QFileInfo>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace velvane {

namespace {

constexpr qsizetype nameOffset = 5; // "FILE" and one separator

// A quoted name is taken whole, so a ".mp3" inside it ("my.mp3 rips.mp3") cannot cut it short. None when the
// name after FILE is not quoted or its quote is never closed.
std::optional<QString> quotedName(const QString &line)
{
    qsizetype open = 4;
    while (open < line.size() && (line.at(open) == u' ' || line.at(open) == u'\t'))
        ++open;
    if (open >= line.size() || line.at(open) != u'"')
        return std::nullopt;
    const qsizetype close = line.indexOf(u'"', open + 1);
    if (close < 0)
        return std::nullopt;
    return cleanedString(line.sliced(open + 1, close - open - 1));
}

// Rippers write the path of the machine they ran on ("C:\Music\album.mp3", "/home/someone/album.mp3"), and the
// album is then copied beside its sheet: when nothing is found at the name as written, the file of its last
// component beside the sheet is taken. Only the last component is used, so the file always lies in the folder.
QString audioPath(const QString &folder, const QString &name, FileLookup lookup)
{
    const QString written = joinedPath(folder, name);
    if (lookup == FileLookup::AsWritten || QFileInfo::exists(written))
        return written;
    const QString last = name.sliced(std::max(name.lastIndexOf(u'/'), name.lastIndexOf(u'\\')) + 1);
    if (last.isEmpty() || last == name || last == u"."_s || last == u".."_s)
        return written;
    const QString beside = joinedPath(folder, last);
    return QFileInfo(beside).isFile() ? beside : written;
}

std::optional<AudioFile> audioInQuotedName(const QString &name, const QString &folder, FileLookup lookup)
{
    // Whatever type word follows the name is not looked at: rippers write WAVE for FLAC images too.
    if (const std::optional<AudioFormat> format = audioFormatOfName(name))
        return AudioFile{audioPath(folder, name, lookup), *format};
    return std::nullopt;
}

// An unquoted name ends where its extension does; the blank or file type word after it is cleaned away.
std::optional<AudioFile> audioInPlainLine(const QString &line, const QString &folder, FileLookup lookup)
{
    for (const AudioFormat format : audioFormats) {
        const qsizetype p = line.indexOf(u'.' + extensionOf(format), 0, Qt::CaseInsensitive);
        if (p < 0)
            continue;
        const QString name = cleanedString(line.mid(nameOffset, p));
        if (!name.isEmpty())
            return AudioFile{audioPath(folder, name, lookup), format};
    }
    return std::nullopt;
}

// A name of no format Velvane cuts still names the track's file, so the split can say why it skips the track:
// it runs up to the last blank, before the file type word; a line with no blank after the name is all name.
QString otherName(const QString &line)
{
    if (const std::optional<QString> quoted = quotedName(line))
        return *quoted;
    const QString rest = cleanedString(line.mid(nameOffset));
    const qsizetype blank = std::max(rest.lastIndexOf(u' '), rest.lastIndexOf(u'\t'));
    return cleanedString(blank < 0 ? rest : rest.left(blank));
}

} // namespace

std::optional<AudioFile> audioOnFileLine(const QString &line, const QString &folder, FileLookup lookup)
{
    // An empty quoted name names nothing, so the rest of the line is read as an unquoted one.
    const std::optional<QString> quoted = quotedName(line);
    return !quoted || quoted->isEmpty() ? audioInPlainLine(line, folder, lookup)
                                        : audioInQuotedName(*quoted, folder, lookup);
}

QString fileOnFileLine(const QString &line, const QString &folder, FileLookup lookup)
{
    if (const std::optional<AudioFile> audio = audioOnFileLine(line, folder, lookup))
        return audio->path;
    // Slashes alone name no file: joined, they would give the sheet's own folder.
    const QString name = otherName(line);
    return name.count(u'/') == name.size() ? QString() : joinedPath(folder, name);
}

std::optional<AudioFile> searchAudioInLines(const QStringList &lines, const QString &cuePath)
{
    const QString folder = folderOfPath(cuePath);
    for (const QString &line : lines) {
        if (!line.startsWith(u"file", Qt::CaseInsensitive))
            continue;
        if (std::optional<AudioFile> audio = audioOnFileLine(line, folder))
            return audio;
    }
    return std::nullopt;
}

} // namespace velvane
