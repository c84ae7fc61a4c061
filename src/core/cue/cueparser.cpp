#include "core/cue/cueparser.h"
#include "core/cue/audiolookup.h"
#include "core/cue/cleanedstring.h"
#include "core/cue/cuepaths.h"
#include "core/cue/remfield.h"

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
    explicit TrackCollector(QString folder)
        : m_folder(std::move(folder))
    {}

    void take(const QString &line)
    {
        if (startsWithKeyword(line, u"TITLE"))
            takeTrackValue(u"title"_s, valueFrom(line, 6));
        else if (startsWithKeyword(line, u"PERFORMER"))
            takePerformer(valueFrom(line, 10));
        else if (startsWithKeyword(line, u"INDEX"))
            takeIndex(indexValue(line));
        else if (startsWithKeyword(line, u"TRACK"))
            startTrack();
        else if (startsWithKeyword(line, u"FILE"))
            m_file = fileOnFileLine(line, m_folder);
        else if (startsWithKeyword(line, u"SONGWRITER"))
            takeTrackValue(u"songwriter"_s, valueFrom(line, 11));
        else if (startsWithKeyword(line, u"ISRC"))
            takeTrackValue(u"isrc"_s, valueFrom(line, 5));
        else if (const std::optional<RemField> field = remField(line))
            takeRemField(*field);
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

    // Whatever stands before the first TRACK describes the album, wherever the FILE line is: its PERFORMER
    // stands in for every track that names none, and its TITLE is not a track's.
    void takeTrackValue(const QString &key, const QString &value)
    {
        if (m_inTrack)
            m_pending.insert(key, value);
    }

    void takeRemField(const RemField &field)
    {
        if (field.key == u"REPLAYGAIN_TRACK_GAIN")
            takeTrackValue(u"replaygain_track_gain"_s, field.value);
        else if (field.key == u"REPLAYGAIN_TRACK_PEAK")
            takeTrackValue(u"replaygain_track_peak"_s, field.value);
    }

    void takePerformer(const QString &value)
    {
        if (m_inTrack)
            m_pending.insert(u"performer"_s, value);
        else
            m_defaultPerformer = value;
    }

    // A track starts where its last INDEX stands, so that line decides its file: rippers that append each gap
    // to the track before it write a track's INDEX 00 under one FILE line and its INDEX 01 under the next.
    void takeIndex(const QString &value)
    {
        if (!m_inTrack)
            return;
        m_pending.insert(u"index"_s, value);
        m_pendingFile = m_file;
    }

    void startTrack()
    {
        commitPending();
        m_inTrack = true;
        m_pendingFile = m_file;
    }

    void commitPending()
    {
        if (m_pending.isEmpty())
            return;
        if (m_pending.value(u"performer"_s).isEmpty())
            m_pending.insert(u"performer"_s, m_defaultPerformer);
        if (m_pendingFile)
            m_pending.insert(u"file"_s, *m_pendingFile);
        m_tracks.append(m_pending);
        m_pending.clear();
    }

    const QString m_folder;
    TrackList m_tracks;
    TrackEntry m_pending;
    bool m_inTrack = false;
    std::optional<QString> m_file; // none before the first FILE line
    std::optional<QString> m_pendingFile;
    QString m_defaultPerformer = u""_s;
};

} // namespace

TrackList parseTrackLines(const QStringList &lines, const QString &cuePath)
{
    TrackCollector collector(folderOfPath(cuePath));
    for (const QString &line : lines)
        collector.take(line);
    return collector.finish();
}

} // namespace velvane
