#include "core/split/splitjob.h"

#include "components/splitterrunner.h"
#include "components/tagapi.h"
#include "core/split/piecemove.h"
#include "core/split/pieceplan.h"
#include "core/split/starttimes.h"
#include "core/split/workfolder.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>

#include <algorithm>
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
};

TrackOutcome failed(int number, QString reason)
{
    return {number, false, {}, std::move(reason)};
}

void report(Job &job, const TrackOutcome &outcome)
{
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
    return tagger.updateFile() ? QString() : u"The tags could not be written."_s;
}

// A piece that cannot take its own name is still the user's audio: it goes into the destination under a plain
// name, and only when even that fails does it stay in the work folder, which then stays too.
TrackOutcome keepUnnamed(Job &job, const PiecePlan &piece, const QString &path, const QString &extension,
                         const QString &why)
{
    const QString plain = u"Track "_s % QString::number(piece.number).rightJustified(2, u'0');
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
        return keepUnnamed(job, piece, path, source.isOgg ? u"ogg"_s : u"mp3"_s, move.reason);
    if (!tagProblem.isEmpty())
        return {piece.number, false, move.path,
                tagProblem % u" The untagged piece was kept as \""_s % QFileInfo(move.path).fileName() % u"\"."_s};
    return {piece.number, true, move.path, {}};
}

TrackOutcome makePiece(Job &job, const SourcePlan &source, const PiecePlan &piece)
{
    const QString runFolder = job.work.newRunFolder();
    if (runFolder.isEmpty())
        return failed(piece.number, u"Could not make a folder for the splitter in the temporary folder."_s);
    SplitterJob cut;
    cut.isOgg = source.isOgg;
    cut.destination = runFolder;
    cut.audioFile = QFileInfo(source.audioFile).absoluteFilePath();
    cut.startTime = cueTimeText(piece.start);
    if (piece.end)
        cut.endTime = cueTimeText(*piece.end);
    const SplitterResult result = runSplitter(cut);
    if (!result.ok)
        return failed(piece.number, result.reason.isEmpty() ? u"The splitter failed."_s : result.reason);
    return finishPiece(job, source, piece, result.piecePath);
}

void cutSource(Job &job, const SourcePlan &source)
{
    for (const PiecePlan &piece : source.pieces) {
        if (job.progress.stopRequested()) {
            report(job, failed(piece.number, u"The job was stopped before this track."_s));
            continue;
        }
        job.progress.showProcessing(piece.name.fileName(1, 0));
        job.summary.lastOutputName = piece.name.fileName(1, 0);
        if (!job.work.isValid())
            report(job, failed(piece.number, job.work.problem()));
        else if (!source.problem.isEmpty())
            report(job, failed(piece.number, source.problem));
        else
            report(job, makePiece(job, source, piece));
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
    if (settings.writeTags && !settings.isOgg)
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
