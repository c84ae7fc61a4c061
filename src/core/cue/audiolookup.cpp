#include "core/cue/cuepaths.h"
#include "core/cue/cuereading.h"

using namespace Qt::StringLiterals;

namespace velvane {

namespace {

constexpr qsizetype nameOffset = 5; // "FILE" and one separator

struct AudioType
{
    QStringView extension;
    bool isOgg;
};

// MP3 first: a name that holds both extensions counts as MP3.
constexpr AudioType audioTypes[] = {{u".mp3", false}, {u".ogg", true}};

// A quoted name is taken whole, so a ".mp3" inside it ("my.mp3 rips.mp3") cannot cut it short. Empty when the
// name after FILE is not quoted or its quote is never closed.
QString quotedName(const QString &line)
{
    qsizetype open = 4;
    while (open < line.size() && (line.at(open) == u' ' || line.at(open) == u'\t'))
        ++open;
    if (open >= line.size() || line.at(open) != u'"')
        return {};
    const qsizetype close = line.indexOf(u'"', open + 1);
    if (close < 0)
        return {};
    return cleanedString(line.sliced(open + 1, close - open - 1));
}

std::optional<AudioFile> audioInQuotedName(const QString &name, const QString &folder)
{
    for (const AudioType &type : audioTypes) {
        if (name.endsWith(type.extension, Qt::CaseInsensitive))
            return AudioFile{joinedPath(folder, name), type.isOgg};
    }
    return std::nullopt;
}

// An unquoted name ends where its extension does; the blank or file type word after it is cleaned away.
std::optional<AudioFile> audioInPlainLine(const QString &line, const QString &folder)
{
    for (const AudioType &type : audioTypes) {
        const qsizetype p = line.indexOf(type.extension, 0, Qt::CaseInsensitive);
        if (p < 0)
            continue;
        const QString name = cleanedString(line.mid(nameOffset, p));
        if (!name.isEmpty())
            return AudioFile{joinedPath(folder, name), type.isOgg};
    }
    return std::nullopt;
}

} // namespace

std::optional<AudioFile> searchAudioInLines(const QStringList &lines, const QString &cuePath)
{
    const QString folder = folderOfPath(cuePath);
    for (const QString &line : lines) {
        if (!line.startsWith(u"file", Qt::CaseInsensitive))
            continue;
        const QString quoted = quotedName(line);
        std::optional<AudioFile> audio =
            quoted.isEmpty() ? audioInPlainLine(line, folder) : audioInQuotedName(quoted, folder);
        if (audio)
            return audio;
    }
    return std::nullopt;
}

} // namespace velvane
