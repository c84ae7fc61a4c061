#include "cli/commands.h"

#include "core/cue/cuereading.h"
#include "core/split/splitjob.h"
#include "core/split/splitrequest.h"
#include "core/text/intvalue.h"

#include <QCommandLineParser>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QStringBuilder>

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

void printLine(FILE *stream, const QString &text)
{
    std::fputs(qPrintable(text), stream);
    std::fputc('\n', stream);
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
    const QCommandLineOption genreOption(u"genre"_s, {}, u"NAME"_s);
    const QCommandLineOption yearOption(u"year"_s, {}, u"N"_s);
    const QCommandLineOption albumOption(u"album"_s, {}, u"TEXT"_s);
    const QCommandLineOption helpOption(QStringList{u"h"_s, u"help"_s});
    parser.addOptions(
        {destOption, audioOption, numberedOption, tagsOption, genreOption, yearOption, albumOption, helpOption});

    // The progress lines already say what failed; QT_LOGGING_RULES can still turn the library's own log back on.
    QLoggingCategory::setFilterRules(u"velvane.*.info=false\nvelvane.*.warning=false"_s);

    // parse() wants the program name first.
    if (!parser.parse(QStringList{u"velvane-split"_s} + args)) {
        printLine(stderr, parser.errorText());
        printUsage();
        return BadInput;
    }
    if (parser.isSet(helpOption)) {
        printUsage();
        return AllMade;
    }
    if (parser.positionalArguments().size() != 1) {
        printUsage();
        return BadInput;
    }

    // The same checks, in the same order and with the same words, as a split started from the window.
    // Absolute, so the sheet's folder (the default destination and album) is known for "velvane-split a.cue" too.
    const QString cuePath = QFileInfo(parser.positionalArguments().constFirst()).absoluteFilePath();
    // A folder is no sheet here: without a window there is no table to show its emptiness.
    if (!QFileInfo(cuePath).isFile())
        return refuse(cueFileNotFoundMessage());
    const CueReading reading = readCueSheet(cuePath);

    SplitSettings settings;
    if (parser.isSet(audioOption)) {
        // One file cannot stand in for several: each file's start times count from its own beginning.
        if (reading.audioFiles.size() > 1)
            return refuse(u"The cue sheet names "_s % QString::number(reading.audioFiles.size()) %
                          u" audio files; --audio can only stand in for a single one."_s);
        settings.audioFile = parser.value(audioOption);
        settings.isOgg = QFileInfo(settings.audioFile).suffix().compare(u"ogg"_s, Qt::CaseInsensitive) == 0;
    } else if (reading.audio) {
        settings.audioFile = reading.audio->path;
        settings.isOgg = reading.audio->isOgg;
    }
    settings.destination = parser.isSet(destOption) ? parser.value(destOption) : reading.destination;
    if (const std::optional<QString> problem = splitRequestProblem(cuePath, settings.audioFile, settings.destination))
        return refuse(*problem);

    settings.tracks = reading.tracks;
    if (settings.tracks.isEmpty())
        return refuse(u"The cue sheet lists no tracks."_s);
    if (const std::optional<QString> problem = checkStartTimes(settings.tracks))
        return refuse(*problem);

    settings.numbered = parser.isSet(numberedOption);
    settings.writeTags = parser.isSet(tagsOption) && !settings.isOgg;
    settings.year = parser.isSet(yearOption) ? intValue(parser.value(yearOption)) : QDate::currentDate().year();
    settings.album = parser.isSet(albumOption) ? parser.value(albumOption) : reading.album;
    if (parser.isSet(genreOption) && !parser.value(genreOption).isEmpty())
        settings.genre = parser.value(genreOption);
    if (parser.isSet(tagsOption) && settings.isOgg)
        printLine(stderr, u"Ogg pieces get no tags; --tags is ignored."_s);

    StderrProgress progress;
    const SplitSummary summary = runSplitJob(settings, progress);
    if (summary.allSucceeded()) {
        printLine(stdout, u"All "_s % QString::number(summary.tracks.size()) % u" tracks made in "_s %
                              QDir::toNativeSeparators(settings.destination) % u'.');
        return AllMade;
    }
    printLine(stdout, failureSentence(summary));
    return SomeFailed;
}
