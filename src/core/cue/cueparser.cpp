#include "core/cue/cuereading.h"

using namespace Qt::StringLiterals;

namespace velvane {

namespace {

// The value starts one separator past the keyword; a line too short for it gives an empty value.
QString valueFrom(const QString &line, qsizetype offset)
{
    return cleanedString(line.size() > offset ? line.sliced(offset) : QString());
}

QString indexValue(const QString &line)
{
    // "INDEX 01 04:00:12" carries an index number to step over; "INDEX 07:31:05" does not.
    if (line.size() > 8 && line.at(8) == u' ')
        return valueFrom(line, 9);
    return valueFrom(line, 6);
}

class TrackCollector
{
public:
    void take(const QString &line)
    {
        if (startsWithKeyword(line, u"TITLE"))
            m_pending.insert(u"title"_s, valueFrom(line, 6));
        else if (startsWithKeyword(line, u"PERFORMER"))
            m_pending.insert(u"performer"_s, valueFrom(line, 10));
        else if (startsWithKeyword(line, u"INDEX"))
            m_pending.insert(u"index"_s, indexValue(line));
        else if (startsWithKeyword(line, u"TRACK"))
            commitPending();
        else if (startsWithKeyword(line, u"FILE"))
            takeFileLine();
    }

    [[nodiscard]] TrackList finish()
    {
        commitPending();
        return std::move(m_tracks);
    }

private:
    static bool startsWithKeyword(const QString &line, QStringView keyword)
    {
        return line.startsWith(keyword, Qt::CaseInsensitive);
    }

    void commitPending()
    {
        if (m_pending.isEmpty())
            return;
        if (m_pending.value(u"performer"_s).isEmpty())
            m_pending.insert(u"performer"_s, m_defaultPerformer);
        m_tracks.append(m_pending);
        m_pending.clear();
    }

    // In the usual layout the album's PERFORMER stands just before FILE: it becomes the performer of every
    // track that names none, and the album's TITLE is dropped with the rest of the pending record.
    void takeFileLine()
    {
        if (const auto performer = m_pending.constFind(u"performer"_s); performer != m_pending.cend())
            m_defaultPerformer = *performer;
        m_pending.clear();
    }

    TrackList m_tracks;
    TrackEntry m_pending;
    QString m_defaultPerformer = u""_s;
};

} // namespace

TrackList parseTrackLines(const QStringList &lines)
{
    TrackCollector collector;
    for (const QString &line : lines)
        collector.take(line);
    return collector.finish();
}

} // namespace velvane
