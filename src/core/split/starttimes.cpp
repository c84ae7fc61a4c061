#include "core/split/starttimes.h"

#include "components/splitterrunner.h"
#include "core/split/splitjob.h"

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

std::optional<QString> checkStartTimes(const TrackList &tracks)
{
    std::optional<qint64> previous;
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
        if (previous && *frames <= *previous)
            return u"Track "_s % number % u" starts at "_s % *index % u", not after the track before it."_s;
        previous = frames;
    }
    return std::nullopt;
}

} // namespace velvane
