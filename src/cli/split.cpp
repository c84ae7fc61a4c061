#include "cli/commands.h"

#include "core/audio/audioformat.h"
#include "core/cue/embeddedsheet.h"
#include "core/platform/terminationsignals.h"
#include "core/split/splitjob.h"
#include "core/split/splitrequest.h"
#include "core/split/starttimes.h"
#include "core/text/controlcharacters.h"
#include "core/text/intvalue.h"

#include <QCommandLineParser>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QStringBuilder>

#include <algorithm>
#include <csignal>
#include <cstdio>

using namespace Qt::StringLiterals;
using namespace velvane;

namespace {

enum ExitStatus
{
    AllMade = 0,
    SomeFailed = 1,
    BadInput = 2
};

// Sheet text reaches the terminal too; an escape sequence in a title must not take it over.
void printLine(FILE *stream, const QString &text)
{
    std::fputs(withoutControlCharacters(text).toUtf8().constData(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

QString signalName(int signal)
{
    switch (signal) {
    case SIGINT:
        return u"SIGINT"_s;
    case SIGTERM:
        return u"SIGTERM"_s;
#ifdef SIGHUP
    case SIGHUP:
        return u"SIGHUP"_s;
#endif
    default:
        return u"signal "_s % QString::number(signal);
    }
}

// The window's alerts break their messages in two; a batch log wants one line per message.
int refuse(const QString &message)
{
    printLine(stderr, QString(message).replace(u'\n', u' '));
    return BadInput;
}

class StderrProgress : public SplitProgress
{
public:
    void showProcessing(const QString &outputName) override { m_name = outputName; }
    void trackFinished(const TrackOutcome &outcome) override { m_outcome = outcome; }
    void showProcessed(int done, int total) override
    {
        const QString count = QString::number(done) % u" of "_s % QString::number(total) % u": "_s;
        if (m_outcome.ok)
            printLine(stderr, count % QFileInfo(m_outcome.outputPath).fileName());
        else
            printLine(stderr, count % m_name % u" FAILED: "_s % m_outcome.reason);
    }
    void advanceBar() override {}
    [[nodiscard]] bool stopRequested() const override { return TerminationSignals::received() != 0; }

private:
    QString m_name;
    TrackOutcome m_outcome;
};

} // namespace

int runSplitCommand(const QStringList &args)
{
    QCommandLineParser parser;
    const QCommandLineOption destOption(u"dest"_s, {}, u"DIR"_s);
    const QCommandLineOption audioOption(u"audio"_s, {}, u"FILE"_s);
    const QCommandLineOption numberedOption(u"numbered"_s);
    const QCommandLineOption tagsOption(u"tags"_s);
    const QCommandLineOption flacOption(u"flac"_s);
    const QCommandLineOption genreOption(u"genre"_s, {}, u"NAME"_s);
    const QCommandLineOption yearOption(u"year"_s, {}, u"N"_s);
    const QCommandLineOption albumOption(u"album"_s, {}, u"TEXT"_s);
    const QCommandLineOption stallOption(u"stall-timeout"_s, {}, u"SECONDS"_s);
    const QCommandLineOption encodingOption(u"encoding"_s, {}, u"NAME"_s);
    const QCommandLineOption helpOption(QStringList{u"h"_s, u"help"_s});
    parser.addOptions({destOption, audioOption, numberedOption, tagsOption, flacOption, genreOption, yearOption,
                       albumOption, stallOption, encodingOption, helpOption});

    // The progress lines already say what failed; QT_LOGGING_RULES can still turn the library's own log back on.
    QLoggingCategory::setFilterRules(u"velvane.*.debug=false\nvelvane.*.info=false\nvelvane.*.warning=false"_s);

    // parse() wants the program name first.
    if (!parser.parse(QStringList{u"velvane-split"_s} + args)) {
        printLine(stderr, parser.errorText());
        printUsage();
        return BadInput;
    }
    if (parser.isSet(helpOption)) {
        printUsage(stdout);
        return AllMade;
    }
    if (parser.positionalArguments().size() != 1) {
        printUsage();
        return BadInput;
    }
    const TextEncoding *encoding = nullptr;
    if (parser.isSet(encodingOption) && !(encoding = findTextEncoding(parser.value(encodingOption))))
        return refuse(unknownEncodingMessage(parser.value(encodingOption)));

    SplitSettings settings;
    // A value that means nothing is refused before the sheet is looked at, never quietly dropped or clamped.
    settings.year = QDate::currentDate().year();
    if (parser.isSet(yearOption)) {
        const std::optional<int> year = wholeNumberIn(parser.value(yearOption), 0, 9999);
        if (!year)
            return refuse(u"--year takes a year from 0 to 9999 (0 writes none), not \""_s % parser.value(yearOption) %
                          u"\"."_s);
        settings.year = *year;
    }
    if (parser.isSet(stallOption)) {
        bool ok = false;
        const double seconds = parser.value(stallOption).toDouble(&ok);
        // Below a second, a splitter that is merely busy reading would be taken for hung.
        if (!ok || !(seconds >= 1) || seconds > 86400)
            return refuse(u"--stall-timeout takes a number of seconds from 1 to 86400."_s);
        settings.stallTimeout = std::chrono::milliseconds(qint64(seconds * 1000));
    }

    // The same checks, in the same order and with the same words, as a split started from the window.
    // Absolute, so the sheet's folder (the default destination and album) is known for "velvane-split a.cue" too.
    const QString cuePath = QFileInfo(parser.positionalArguments().constFirst()).absoluteFilePath();
    // A folder is no sheet here: without a window there is no table to show its emptiness.
    if (!QFileInfo(cuePath).isFile())
        return refuse(cueFileNotFoundMessage());
    const CueReading reading = readSheetAt(cuePath, encoding);
    // An album image without a sheet is not a sheet without tracks.
    if (audioFormatOfName(cuePath) == AudioFormat::Flac && !reading.error.isEmpty())
        return refuse(reading.error);

    // Absolute, so a path that begins with "-" can never pass for one of the splitter's options.
    if (parser.isSet(audioOption)) {
        // One file cannot stand in for several: each file's start times count from its own beginning.
        if (reading.audioFiles.size() > 1)
            return refuse(u"The cue sheet names "_s % QString::number(reading.audioFiles.size()) %
                          u" audio files; --audio can only stand in for a single one."_s);
        settings.audioFile = QFileInfo(parser.value(audioOption)).absoluteFilePath();
        settings.format = audioFormatOfName(settings.audioFile).value_or(AudioFormat::Mp3);
    } else if (reading.audio) {
        settings.audioFile = reading.audio->path;
        settings.format = reading.audio->format;
    }
    // Formats that are known but not cut are named, rather than reported as a missing file or failing every track.
    QStringList cutFiles = reading.audioFiles;
    if (parser.isSet(audioOption))
        cutFiles = {settings.audioFile};
    if (const std::optional<QString> refused = refusedFormatProblem(cutFiles))
        return refuse(*refused);
    // A sheet of several files is cut file by file; a missing one fails its own tracks, not the whole request.
    settings.filePerTrack = !parser.isSet(audioOption) && reading.audioFiles.size() > 1;
    QString checkedAudio = settings.audioFile;
    if (settings.filePerTrack)
        checkedAudio = firstReadableAudioFile(reading.audioFiles);
    settings.destination =
        parser.isSet(destOption) ? QFileInfo(parser.value(destOption)).absoluteFilePath() : reading.destination;
    if (const std::optional<QString> problem = splitRequestProblem(cuePath, checkedAudio, settings.destination))
        return refuse(*problem);
    // A folder, a FIFO or a device passes for readable, and then failed every track or never ended.
    if (!settings.filePerTrack && !QFileInfo(checkedAudio).isFile())
        return refuse(u"The audio file \""_s % QDir::toNativeSeparators(checkedAudio) % u"\" is not a regular file."_s);

    settings.tracks = reading.tracks;
    if (settings.tracks.isEmpty())
        return refuse(u"The cue sheet lists no tracks."_s);
    if (const std::optional<QString> problem = checkStartTimes(settings.tracks, settings.filePerTrack))
        return refuse(*problem);

    settings.numbered = parser.isSet(numberedOption);
    settings.writeTags = parser.isSet(tagsOption);
    settings.wavAsFlac = parser.isSet(flacOption);
    settings.album = parser.isSet(albumOption) ? parser.value(albumOption) : reading.album;
    if (parser.isSet(genreOption) && !parser.value(genreOption).isEmpty())
        settings.genre = parser.value(genreOption);

    TerminationSignals::install();
    StderrProgress progress;
    const SplitSummary summary = runSplitJob(settings, progress);
    if (const int signal = TerminationSignals::received()) {
        const qsizetype made = std::count_if(summary.tracks.cbegin(), summary.tracks.cend(),
                                             [](const TrackOutcome &track) { return track.ok; });
        printLine(stdout, u"Stopped by "_s % signalName(signal) % u": "_s % QString::number(made) % u" of "_s %
                              QString::number(summary.tracks.size()) % u" tracks made."_s);
        return TerminationSignals::exitStatus(signal);
    }
    if (summary.allSucceeded()) {
        printLine(stdout, u"All "_s % QString::number(summary.tracks.size()) % u" tracks made in "_s %
                              QDir::toNativeSeparators(settings.destination) % u'.');
        return AllMade;
    }
    printLine(stdout, failureSentence(summary));
    return SomeFailed;
}
