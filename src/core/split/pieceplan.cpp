#include "core/split/pieceplan.h"

#include "core/split/starttimes.h"

#include <QFileInfo>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace velvane {

namespace {

struct Source
{
    QString audioFile;
    std::optional<AudioFormat> format; // none: a file of no format Velvane cuts
    QList<qsizetype> tracks;
};

// The tracks of one file make one source, even when other files' tracks stand between them. Without files per
// track, the one audio file serves all.
QList<Source> sourcesOf(const SplitSettings &settings)
{
    QList<Source> sources;
    for (qsizetype i = 0; i < settings.tracks.size(); ++i) {
        const QString file = settings.filePerTrack ? settings.tracks.at(i).value(u"file"_s) : settings.audioFile;
        auto source =
            std::find_if(sources.begin(), sources.end(), [&](const Source &s) { return s.audioFile == file; });
        if (source == sources.end()) {
            const std::optional<AudioFormat> format =
                settings.filePerTrack ? audioFormatOfName(file) : std::optional(settings.format);
            source = sources.insert(sources.end(), {file, format, {}});
        }
        source->tracks.append(i);
    }
    return sources;
}

QString sourceProblem(const Source &source)
{
    const QString shown = u'"' % QFileInfo(source.audioFile).fileName() % u'"';
    if (source.audioFile.isEmpty())
        return u"The cue sheet names no audio file for this track."_s;
    if (const std::optional<QString> refused = refusedFormatOfName(source.audioFile))
        return refusedFormatMessage(source.audioFile, *refused);
    if (!source.format)
        return u"The audio file "_s % shown % u" is not MP3, Ogg Vorbis, FLAC or WAV."_s;
    const QFileInfo info(source.audioFile);
    if (!info.exists())
        return u"The audio file "_s % shown % u" is missing."_s;
    if (!info.isFile() || !info.isReadable())
        return u"The audio file "_s % shown % u" cannot be read."_s;
    return {};
}

AudioFormat pieceFormat(AudioFormat source, const SplitSettings &settings)
{
    return source == AudioFormat::Wav && settings.wavAsFlac ? AudioFormat::Flac : source;
}

PiecePlan trackPiece(const SplitSettings &settings, qsizetype track, const QString &extension)
{
    const TrackEntry &entry = settings.tracks.at(track);
    const int number = int(track + 1);
    return {number,
            track,
            cueTimeInFrames(entry.value(u"index"_s)).value_or(-1),
            std::nullopt,
            outputNameParts(number, entry, extension, settings.numbered, int(settings.tracks.size())),
            entry.value(u"title"_s),
            entry.value(u"performer"_s)};
}

PiecePlan pregapPiece(const SplitSettings &settings, const PiecePlan &first, const QString &extension)
{
    const QString title = u"Pregap"_s;
    const TrackEntry entry{{u"performer"_s, first.performer}, {u"title"_s, title}};
    const OutputName name = outputNameParts(0, entry, extension, settings.numbered, int(settings.tracks.size()));
    return {0, first.track, 0, first.start, name, title, first.performer};
}

} // namespace

QList<SourcePlan> planPieces(const SplitSettings &settings)
{
    QList<SourcePlan> plans;
    for (const Source &source : sourcesOf(settings)) {
        const AudioFormat format = source.format.value_or(AudioFormat::Mp3);
        SourcePlan plan{source.audioFile, format, pieceFormat(format, settings), sourceProblem(source), {}};
        const QString extension = extensionOf(plan.pieceFormat);
        for (const qsizetype track : source.tracks)
            plan.pieces.append(trackPiece(settings, track, extension));
        std::stable_sort(plan.pieces.begin(), plan.pieces.end(),
                         [](const PiecePlan &a, const PiecePlan &b) { return a.start < b.start; });
        for (qsizetype i = 0; i + 1 < plan.pieces.size(); ++i)
            plan.pieces[i].end = plan.pieces.at(i + 1).start;
        const bool timesUsable = std::all_of(plan.pieces.cbegin(), plan.pieces.cend(), [](const PiecePlan &piece) {
            return piece.start >= 0 && (!piece.end || *piece.end > piece.start);
        });
        if (!timesUsable && plan.problem.isEmpty())
            plan.problem = u"The start times are not minutes:seconds:frames, rising from track to track."_s;

        // Nothing of a file may be left out: what comes before its first track goes into that track, except a
        // long stretch before the sheet's very first track, which holds a hidden track and becomes piece 00.
        const PiecePlan first = plan.pieces.constFirst();
        if (first.start > 0 && plans.isEmpty() && first.start >= pregapPieceFrames)
            plan.pieces.prepend(pregapPiece(settings, first, extension));
        else if (first.start > 0)
            plan.pieces.first().start = 0;
        plans.append(plan);
    }
    return plans;
}

} // namespace velvane
