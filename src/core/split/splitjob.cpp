#include "core/split/splitjob.h"

#include "components/splitter/splitterrun.h"
#include "components/tags/tagapi.h"
#include "core/lossless/losslesscut.h"
#include "core/split/piecemove.h"
#include "core/split/pieceplan.h"
#include "core/split/workfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include <algorithm>
#include <map>
#include <memory>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcSplit, "velvane.split")

namespace velvane {

namespace {

struct Job
{
    const SplitSettings &settings;
    SplitProgress &progress;
    WorkFolder work;
    std::unique_ptr<TagAPI> tagger; // with tags only
    SplitSummary summary;
    int total = 0;
    int done = 0; // the sheet's tracks finished, failed or not
    const PiecePlan *shown = nullptr;
    // Set when a cut of one track stalled as well: a splitter that hangs whatever it cuts is not run again, and
    // every track still to make fails with this.
    QString splitterHangs = {};
};

TrackOutcome failed(int number, QString reason)
{
    return {number, false, {}, std::move(reason)};
}

// The status sheet names the piece being made; a piece is named once however many runs it takes.
void show(Job &job, const PiecePlan &piece)
{
    if (job.shown == &piece)
        return;
    job.shown = &piece;
    job.progress.showProcessing(piece.name.fileName(1, 0));
}

void report(Job &job, const PiecePlan &piece, TrackOutcome outcome)
{
    outcome.name = piece.name.fileName(1, 0);
    if (!outcome.ok)
        qCWarning(lcSplit) << "track" << outcome.number << "failed:" << outcome.reason;
    job.summary.tracks.append(outcome);
    job.progress.trackFinished(outcome);
    if (outcome.number == 0)
        return;
    job.progress.showProcessed(++job.done, job.total);
    job.progress.advanceBar();
}

// Empty when the tags stand in the piece; otherwise why not. A piece whose tags failed is left as it was.
QString writeTags(Job &job, const PiecePlan &piece, const QString &path)
{
    TagAPI &tagger = *job.tagger;
    if (!tagger.examineFile(path))
        return u"The tags could not be written: the piece cannot be read as audio."_s;
    tagger.setTitle(piece.title);
    tagger.setArtist(piece.performer);
    tagger.setAlbum(job.settings.album);
    tagger.setYear(job.settings.year);
    tagger.setTrack(piece.number, job.total);
    // Without a chosen genre nothing is set, so the piece carries none rather than an empty one.
    if (job.settings.genre && !job.settings.genre->isEmpty())
        tagger.setGenreName({*job.settings.genre});
    if (tagger.updateFile())
        return {};
    const QString why = tagger.errorString();
    return why.isEmpty() ? u"The tags could not be written."_s : u"The tags could not be written: "_s % why;
}

// A piece that cannot take its own name is still the user's audio: it goes into the destination under a plain
// name, and only when even that fails does it stay in the work folder, which then stays too.
TrackOutcome keepUnnamed(Job &job, const PiecePlan &piece, const QString &path, const QString &extension,
                         const QString &why)
{
    const QString plain = u"Track "_s % trackNumberText(piece.number, job.total);
    const PieceMove kept = movePiece(path, job.settings.destination, [&](int attempt, int) -> QString {
        return plain % (attempt > 1 ? u" ("_s % QString::number(attempt) % u')' : QString()) % u'.' % extension;
    });
    if (kept.ok)
        return {piece.number, false, kept.path,
                why % u" The piece was kept as \""_s % QFileInfo(kept.path).fileName() % u"\"."_s};
    job.work.keep(path);
    return {piece.number, false, path, why % u" The piece was kept as "_s % QDir::toNativeSeparators(path) % u'.'};
}

// Tags, names and moves a piece that was cut and checked.
TrackOutcome finishPiece(Job &job, const SourcePlan &source, const PiecePlan &piece, const QString &path)
{
    const QString tagProblem = job.tagger ? writeTags(job, piece, path) : QString();
    const PieceMove move = movePiece(path, job.settings.destination,
                                     [&](int attempt, int maxBytes) { return piece.name.fileName(attempt, maxBytes); });
    if (!move.ok)
        return keepUnnamed(job, piece, path, extensionOf(source.pieceFormat), move.reason);
    if (!tagProblem.isEmpty())
        return {piece.number, false, move.path,
                tagProblem % u" The untagged piece was kept as \""_s % QFileInfo(move.path).fileName() % u"\"."_s};
    return {piece.number, true, move.path, {}};
}

// A piece cut only at frame boundaries is not its track, but it is the best the splitter can give: it goes to the
// user under a plain name, and its track fails saying how far off it may be.
TrackOutcome keepInexact(Job &job, const PiecePlan &piece, const QString &path, const QString &why)
{
    return keepUnnamed(job, piece, path, u"mp3"_s, why);
}

// Room enough for a piece's tags in either format: a UTF-16 ID3v2 frame or a UTF-8 Vorbis comment per text, and
// the numbers. Room left over is padding.
int tagRoom(const Job &job, const PiecePlan &piece)
{
    int room = 128;
    for (const QString *text : {&piece.title, &piece.performer, &job.settings.album})
        room += 24 + 3 * int(std::min<qsizetype>(text->size(), 1 << 20));
    if (job.settings.genre)
        room += 24 + 3 * int(std::min<qsizetype>(job.settings.genre->size(), 1 << 20));
    return room;
}

SplitterRunRequest runRequest(Job &job, const SourcePlan &source, const QList<const PiecePlan *> &pieces)
{
    SplitterRunRequest request{source.audioFile,        source.format == AudioFormat::Ogg, {},
                               pieces.constLast()->end, job.work.newRunFolder(),           job.settings.stallTimeout};
    for (const PiecePlan *piece : pieces) {
        request.starts.append(piece->start);
        if (job.tagger)
            request.tagRoom.append(tagRoom(job, *piece));
    }
    return request;
}

// What the first piece not yet finished is, for the status sheet.
void showNext(Job &job, const SourcePlan &source, const QList<bool> &finished)
{
    const auto next = std::find(finished.cbegin(), finished.cend(), false);
    if (next != finished.cend())
        show(job, source.pieces.at(next - finished.cbegin()));
}

// Runs of their own for pieces the one run made wrong, started as soon as that is known, so that they cut while the
// one run goes on; by piece.
using EarlyRuns = std::map<qsizetype, std::unique_ptr<SplitterRun>>;

// One splitter run for every piece of the file; each piece is finished while the run goes on. Returns how the run
// ended (Finished or Failed); pieces it could not make are left unfinished for a run of their own.
SplitterEvent cutInOneRun(Job &job, const SourcePlan &source, QList<bool> &finished, EarlyRuns &early)
{
    QList<const PiecePlan *> pieces;
    for (const PiecePlan &piece : source.pieces)
        pieces.append(&piece);
    SplitterRun run(runRequest(job, source, pieces));
    const auto stop = [&job] {
        return job.progress.stopRequested();
    };
    showNext(job, source, finished);
    for (;;) {
        const SplitterEvent event = run.next(stop);
        switch (event.kind) {
        case SplitterEvent::PieceReady:
            report(job, source.pieces.at(event.piece),
                   finishPiece(job, source, source.pieces.at(event.piece), event.path));
            finished[event.piece] = true;
            showNext(job, source, finished);
            break;
        case SplitterEvent::PieceInexact:
            report(job, source.pieces.at(event.piece),
                   keepInexact(job, source.pieces.at(event.piece), event.path, event.reason));
            finished[event.piece] = true;
            showNext(job, source, finished);
            break;
        case SplitterEvent::PieceBad: {
            qCInfo(lcSplit) << "piece" << event.piece + 1 << "of" << source.audioFile
                            << "is cut again:" << event.reason;
            auto again = std::make_unique<SplitterRun>(runRequest(job, source, {&source.pieces.at(event.piece)}));
            again->start();
            early[event.piece] = std::move(again);
            break;
        }
        case SplitterEvent::Finished:
        case SplitterEvent::Failed:
            return event;
        }
    }
}

// For an MP3 the splitter will not cut exactly: one run at frame boundaries, whose pieces are kept for the user
// while their tracks fail. Returns why the run ended early, if it did.
QString cutOnFrames(Job &job, const SourcePlan &source, QList<bool> &finished)
{
    QList<const PiecePlan *> pieces;
    for (const PiecePlan &piece : source.pieces)
        pieces.append(&piece);
    SplitterRunRequest request = runRequest(job, source, pieces);
    request.onFrames = true;
    // A kept piece is not tagged, so it needs no room for tags.
    request.tagRoom.clear();
    SplitterRun run(std::move(request));
    showNext(job, source, finished);
    for (;;) {
        const SplitterEvent event = run.next([&job] { return job.progress.stopRequested(); });
        if (event.kind == SplitterEvent::Finished)
            return {};
        if (event.kind == SplitterEvent::Failed) {
            if (event.stalled)
                job.splitterHangs = event.reason;
            return event.reason;
        }
        const PiecePlan &piece = source.pieces.at(event.piece);
        if (finished[event.piece]) {
            QFile::remove(event.path);
            continue;
        }
        if (event.kind == SplitterEvent::PieceInexact)
            report(job, piece, keepInexact(job, piece, event.path, event.reason));
        else if (event.kind == SplitterEvent::PieceReady)
            report(job, piece, finishPiece(job, source, piece, event.path));
        else
            report(job, piece, failed(piece.number, event.reason));
        finished[event.piece] = true;
        showNext(job, source, finished);
    }
}

// The fallback for a piece the one run did not make: a run of its own, so that one damaged spot in the album costs
// one track.
TrackOutcome cutAlone(Job &job, const SourcePlan &source, qsizetype index, std::unique_ptr<SplitterRun> run)
{
    const PiecePlan &piece = source.pieces.at(index);
    if (!run)
        run = std::make_unique<SplitterRun>(runRequest(job, source, {&piece}));
    for (;;) {
        const SplitterEvent event = run->next([&job] { return job.progress.stopRequested(); });
        switch (event.kind) {
        case SplitterEvent::PieceReady:
            return finishPiece(job, source, piece, event.path);
        case SplitterEvent::PieceInexact:
            return keepInexact(job, piece, event.path, event.reason);
        case SplitterEvent::PieceBad:
            return failed(piece.number, event.reason);
        case SplitterEvent::Failed:
            if (event.stalled)
                job.splitterHangs = event.reason;
            return failed(piece.number, event.reason);
        case SplitterEvent::Finished:
            return failed(piece.number, u"The splitter made no piece for this track."_s);
        }
    }
}

// A FLAC or WAV image is cut by the core in one pass over the album, each piece finished as soon as it is made.
void cutLossless(Job &job, const SourcePlan &source)
{
    const QString folder = job.work.newRunFolder();
    LosslessCutRequest request{
        source.audioFile, {}, source.format == AudioFormat::Wav && source.pieceFormat == AudioFormat::Flac};
    // WAV pieces take their tags as chunks appended at the end; FLAC pieces keep room in front.
    const bool keepsTagRoom = job.tagger && source.pieceFormat == AudioFormat::Flac;
    for (qsizetype i = 0; i < source.pieces.size(); ++i) {
        const PiecePlan &piece = source.pieces.at(i);
        const QString name = QString::number(i + 1) % u'.' % extensionOf(source.pieceFormat);
        request.pieces.append(
            {piece.start, piece.end, QDir(folder).filePath(name), keepsTagRoom ? tagRoom(job, piece) : 0});
    }

    QList<bool> finished(source.pieces.size(), false);
    const LosslessCallbacks callbacks{
        [&](const LosslessPieceResult &result) {
            const PiecePlan &piece = source.pieces.at(result.piece);
            show(job, piece);
            report(job, piece,
                   result.ok ? finishPiece(job, source, piece, request.pieces.at(result.piece).path)
                             : failed(piece.number, result.reason));
            finished[result.piece] = true;
            showNext(job, source, finished);
        },
        [&job] {
            return job.progress.stopRequested();
        }};
    showNext(job, source, finished);
    if (folder.isEmpty())
        request.pieces.clear();
    else if (source.format == AudioFormat::Flac)
        cutFlacImage(request, callbacks);
    else
        cutWavImage(request, callbacks);

    for (qsizetype i = 0; i < source.pieces.size(); ++i) {
        if (finished[i])
            continue;
        const PiecePlan &piece = source.pieces.at(i);
        show(job, piece);
        if (folder.isEmpty())
            report(job, piece, failed(piece.number, u"Could not make a folder for the pieces in the destination."_s));
        else if (job.progress.stopRequested())
            report(job, piece, failed(piece.number, u"The split was stopped before this track was made."_s));
        else
            report(job, piece, failed(piece.number, u"No piece was made for this track."_s));
    }
}

void cutSource(Job &job, const SourcePlan &source)
{
    const QString ownProblem = job.work.isValid() ? source.problem : job.work.problem();
    const bool bySplitter = isCutBySplitter(source.format);
    const QString problem = ownProblem.isEmpty() && bySplitter ? job.splitterHangs : ownProblem;
    if (!problem.isEmpty()) {
        for (const PiecePlan &piece : source.pieces) {
            show(job, piece);
            report(job, piece, failed(piece.number, problem));
        }
        return;
    }
    if (!bySplitter) {
        cutLossless(job, source);
        return;
    }

    QList<bool> finished(source.pieces.size(), false);
    EarlyRuns early;
    const SplitterEvent ended = cutInOneRun(job, source, finished, early);
    if (ended.kind == SplitterEvent::Failed)
        qCInfo(lcSplit) << "the run over" << source.audioFile << "ended early:" << ended.reason;
    // Runs of a piece alone would be refused the same way; what a cut on frames did not make fails with its reason.
    std::optional<QString> onFramesProblem;
    if (ended.reservoirRefused) {
        early.clear();
        onFramesProblem = cutOnFrames(job, source, finished);
    }

    for (qsizetype i = 0; i < source.pieces.size(); ++i) {
        if (finished[i])
            continue;
        const PiecePlan &piece = source.pieces.at(i);
        if (job.progress.stopRequested()) {
            report(job, piece, failed(piece.number, u"The split was stopped before this track was made."_s));
            continue;
        }
        show(job, piece);
        if (!job.splitterHangs.isEmpty()) {
            report(job, piece, failed(piece.number, job.splitterHangs));
            continue;
        }
        if (onFramesProblem) {
            report(job, piece,
                   failed(piece.number, onFramesProblem->isEmpty() ? u"The splitter made no piece for this track."_s
                                                                   : *onFramesProblem));
            continue;
        }
        const auto started = early.find(i);
        report(job, piece, cutAlone(job, source, i, started != early.end() ? std::move(started->second) : nullptr));
    }
}

} // namespace

QList<int> SplitSummary::failedNumbers() const
{
    QList<int> numbers;
    for (const TrackOutcome &track : tracks) {
        if (!track.ok)
            numbers.append(track.number);
    }
    return numbers;
}

SplitSummary runSplitJob(const SplitSettings &settings, SplitProgress &progress)
{
    if (settings.tracks.isEmpty())
        return {};
    Job job{settings, progress, WorkFolder(settings.destination), {}, {}, int(settings.tracks.size()), 0};
    if (settings.writeTags)
        job.tagger = std::make_unique<TagAPI>();

    for (const SourcePlan &source : planPieces(settings))
        cutSource(job, source);

    if (!job.work.clear())
        qCWarning(lcSplit) << "kept the work folder" << job.work.path() << "for pieces that could not be moved";
    std::stable_sort(job.summary.tracks.begin(), job.summary.tracks.end(),
                     [](const TrackOutcome &a, const TrackOutcome &b) { return a.number < b.number; });
    return job.summary;
}

QString failureSentence(const SplitSummary &summary)
{
    const QList<int> numbers = summary.failedNumbers();
    if (numbers.isEmpty())
        return {};

    QString which;
    for (qsizetype i = 0; i < numbers.size(); ++i) {
        if (i > 0)
            which += i + 1 == numbers.size() ? u" and "_s : u", "_s;
        which += QString::number(numbers.at(i));
    }
    const QString count = QString::number(numbers.size()) % u" of "_s % QString::number(summary.tracks.size());
    if (numbers.size() == 1)
        return count % u" tracks failed: track "_s % which % u'.';
    return count % u" tracks failed: tracks "_s % which % u'.';
}

} // namespace velvane
