#include "core/split/starttimes.h"

#include "core/text/intvalue.h"

#include <QHash>
#include <QList>

using namespace Qt::StringLiterals;

namespace velvane {

std::optional<qint64> cueTimeInFrames(const QString &text)
{
    const QList<QStringView> fields = QStringView(text).split(u':');
    if (fields.size() != 3)
        return std::nullopt;
    const auto minutes = digitsValue(fields[0], 6);
    const auto seconds = digitsValue(fields[1], 2);
    const auto frames = digitsValue(fields[2], 2);
    if (!minutes || !seconds || !frames || *seconds > 59 || *frames > 74)
        return std::nullopt;
    return (*minutes * 60 + *seconds) * 75 + *frames;
}

std::optional<QString> checkStartTimes(const TrackList &tracks, bool filePerTrack)
{
    struct Previous
    {
        qint64 frames;
        qsizetype track;
    };
    // Keyed by file, so a file that comes back after another is still checked against its own earlier tracks.
    QHash<QString, Previous> previous;
    for (qsizetype i = 0; i < tracks.size(); ++i) {
        const QString number = QString::number(i + 1);
        const auto index = tracks.at(i).constFind(u"index"_s);
        if (index == tracks.at(i).constEnd() || index->isEmpty())
            return u"Track "_s % number % u" has no start time."_s;
        const std::optional<qint64> frames = cueTimeInFrames(*index);
        if (!frames)
            return u"The start time of track "_s % number % u", \""_s % *index %
                   u"\", is not minutes:seconds:frames (seconds 0 to 59, frames 0 to 74)."_s;
        const QString file = filePerTrack ? tracks.at(i).value(u"file"_s) : QString();
        if (const auto before = previous.constFind(file); before != previous.cend() && *frames <= before->frames) {
            if (before->track == i - 1)
                return u"Track "_s % number % u" starts at "_s % *index % u", not after the track before it."_s;
            return u"Track "_s % number % u" starts at "_s % *index % u", not after track "_s %
                   QString::number(before->track + 1) % u", which comes from the same audio file."_s;
        }
        previous.insert(file, {*frames, i});
    }
    return std::nullopt;
}

} // namespace velvane
