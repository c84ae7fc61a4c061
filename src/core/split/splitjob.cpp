#include "core/split/splitjob.h"

#include "components/splitterrunner.h"
#include "components/tagapi.h"
#include "core/split/outputname.h"
#include "core/split/piecemove.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <memory>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcSplit, "velvane.split")

namespace velvane {

namespace {

struct Job
{
    const SplitSettings &settings;
    QString extension;
    QString workFolder;             // private: the splitter writes here, never into the user's folder
    std::unique_ptr<TagAPI> tagger; // MP3 with tags only
};

TrackOutcome failed(int number, QString reason)
{
    return {number, false, {}, std::move(reason)};
}

void writeTags(TagAPI &tagger, const SplitSettings &settings, const TrackEntry &entry, int number)
{
    tagger.setTitle(entry.value(u"title"_s));
    tagger.setArtist(entry.value(u"performer"_s));
    tagger.setAlbum(settings.album);
    tagger.setYear(settings.year);
    tagger.setTrack(number, int(settings.tracks.size()));
    // Without a chosen genre nothing is set, so the piece carries none rather than an empty one.
    if (settings.genre && !settings.genre->isEmpty())
        tagger.setGenreName({*settings.genre});
}

TrackOutcome makeTrack(Job &job, int number, const QString &name)
{
    const SplitSettings &settings = job.settings;
    const qsizetype i = number - 1;
    const TrackEntry &entry = settings.tracks.at(i);

    SplitterJob cut;
    cut.isOgg = settings.isOgg;
    cut.destination = job.workFolder;
    cut.audioFile = settings.audioFile;
    cut.startTime = entry.value(u"index"_s);
    if (i + 1 < settings.tracks.size())
        cut.endTime = settings.tracks.at(i + 1).value(u"index"_s);

    // A piece left over from a failed track must never pass for this track's.
    const QString expected = QDir(job.workFolder).filePath(u"out."_s % job.extension);
    QFile::remove(expected);

    const SplitterResult result = runSplitter(cut);
    if (!result.ok)
        return failed(number, result.reason.isEmpty() ? u"The splitter failed."_s : result.reason);
    const QString piece = result.piecePath.isEmpty() ? expected : result.piecePath;
    if (!QFileInfo(piece).isFile())
        return failed(number, u"The splitter left no piece."_s);

    if (job.tagger) {
        if (!job.tagger->examineFile(piece))
            return failed(number, u"The tag writer could not read the piece."_s);
        writeTags(*job.tagger, settings, entry, number);
        // A piece without tags is still the user's audio, so it is kept and only logged.
        if (!job.tagger->updateFile())
            qCWarning(lcSplit) << "could not write the tags of track" << number;
    }

    const PieceMove move = movePiece(piece, settings.destination, name);
    if (!move.ok)
        return failed(number, move.reason);
    return {number, true, move.path, {}};
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
    SplitSummary summary;
    const int total = int(settings.tracks.size());
    if (total == 0)
        return summary;

    Job job{settings, settings.isOgg ? u"ogg"_s : u"mp3"_s, {}, {}};
    if (!settings.isOgg && settings.writeTags)
        job.tagger = std::make_unique<TagAPI>();

    // Inside the destination, so the final move is a rename on one file system; removed when this returns.
    QTemporaryDir work(QDir(settings.destination).filePath(u".velvane-split-XXXXXX"_s));
    job.workFolder = work.path();
    const QString workProblem =
        work.isValid() ? QString() : u"Could not make a temporary folder in the destination: "_s % work.errorString();

    for (int number = 1; number <= total; ++number) {
        if (progress.stopRequested()) {
            for (int rest = number; rest <= total; ++rest)
                summary.tracks.append(failed(rest, u"The job was stopped before this track."_s));
            break;
        }
        const QString name = outputName(number, settings.tracks.at(number - 1), job.extension, settings.numbered);
        progress.showProcessing(name);
        summary.lastOutputName = name;

        const TrackOutcome outcome = workProblem.isEmpty() ? makeTrack(job, number, name) : failed(number, workProblem);
        if (!outcome.ok)
            qCWarning(lcSplit) << "track" << number << "failed:" << outcome.reason;
        summary.tracks.append(outcome);

        progress.trackFinished(outcome);
        progress.showProcessed(number, total);
        progress.advanceBar();
    }
    return summary;
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
