#include "core/split/starttimes.h"

#include "components/splitter/splittercommand.h"

#include <QHash>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace velvane {

std::optional<qint64> cueTimeInFrames(const QString &text)
{
    static const QRegularExpression form(u"^(\\d{1,6}):(\\d{1,2}):(\\d{1,2})$"_s);
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const qint64 minutes = match.captured(1).toLongLong();
    const qint64 seconds = match.captured(2).toLongLong();
    const qint64 frames = match.captured(3).toLongLong();
    if (seconds > 59 || frames > 74)
        return std::nullopt;
    return (minutes * 60 + seconds) * 75 + frames;
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
        // The splitter's own reading has the last word, so a time accepted here is never refused by the run.
        if (!frames || !splitterTime(*index))
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
