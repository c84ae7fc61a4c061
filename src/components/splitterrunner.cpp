#include "components/splitterrunner.h"

#include "components/audiolength.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcess>
#include <QProcessEnvironment>

#include <limits>

using namespace Qt::StringLiterals;

namespace velvane {

namespace {

const QString toTheEnd = u"999.00"_s;

std::optional<QStringList> arguments(const SplitterJob &job, bool bitReservoir, const QString &lastEnd)
{
    const auto start = splitterTime(job.startTime);
    const auto end = job.endTime ? splitterTime(*job.endTime) : std::optional<QString>(lastEnd);
    if (!start || !end)
        return std::nullopt;
    QStringList words;
    if (!job.isOgg) {
        words << u"-f"_s;
        if (bitReservoir)
            words << u"-b"_s;
    }
    words << u"-n"_s << u"-q"_s << u"-o"_s << u"out"_s << u"-d"_s << job.destination << job.audioFile << *start << *end;
    return words;
}

// With -b, mp3splt counts the end in samples in 32 bits, and "999.00" overflows there: the last piece then
// loses up to a tenth of a second at the album's end. An end a little past the file's length is cut cleanly.
std::optional<QString> reservoirEndTime(const QString &audioFile)
{
    const auto length = measureAudio(audioFile, false);
    if (!length || length->sampleRate <= 0)
        return std::nullopt;
    const qint64 seconds = length->samples / length->sampleRate + 10;
    if (seconds * length->sampleRate >= std::numeric_limits<qint32>::max())
        return std::nullopt;
    return u"%1.%2.00"_s.arg(seconds / 60).arg(seconds % 60, 2, 10, QChar(u'0'));
}

// Only for times that splitterTime() made: minutes.seconds.hundredths.
qint64 hundredths(const QString &splitterTime)
{
    const QStringList fields = splitterTime.split(u'.');
    return (fields[0].toLongLong() * 60 + fields[1].toLongLong()) * 100 + fields[2].toLongLong();
}

SplitterResult runOnce(const QStringList &words, const QString &piecePath)
{
    SplitterResult result;
    result.piecePath = piecePath;

    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"LC_ALL"_s, u"C"_s);
    process.setProcessEnvironment(environment);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(splitterProgram(), words);
    process.waitForFinished(-1);

    if (process.error() == QProcess::FailedToStart) {
        result.reason = u"The splitter %1 could not be started."_s.arg(splitterProgram());
    } else if (process.exitStatus() == QProcess::CrashExit) {
        result.reason = u"The splitter crashed."_s;
    } else if (process.exitCode() != 0) {
        result.reason = u"The splitter failed with exit status %1."_s.arg(process.exitCode());
    } else if (QFileInfo(piecePath).size() <= 0) {
        result.reason = u"The splitter left no piece."_s;
    } else {
        result.ok = true;
    }
    return result;
}

} // namespace

std::optional<QStringList> splitterArguments(const SplitterJob &job, bool bitReservoir)
{
    return arguments(job, bitReservoir, toTheEnd);
}

SplitterResult runSplitter(const SplitterJob &job)
{
    SplitterResult result;
    result.piecePath = QDir(job.destination).filePath(job.isOgg ? u"out.ogg"_s : u"out.mp3"_s);

    const auto start = splitterTime(job.startTime);
    if (!start) {
        result.reason = u"The start time \"%1\" is not minutes:seconds:frames."_s.arg(job.startTime);
        return result;
    }
    if (job.endTime) {
        const auto end = splitterTime(*job.endTime);
        if (!end) {
            result.reason = u"The end time \"%1\" is not minutes:seconds:frames."_s.arg(*job.endTime);
            return result;
        }
        if (hundredths(*end) <= hundredths(*start)) {
            result.reason = u"The track ends at %1, not after its start at %2."_s.arg(*job.endTime, job.startTime);
            return result;
        }
    }

    // The piece is removed before each run so that a file left from an earlier track never counts as this one's,
    // which must not take the album with it when the album itself is called out.<ext>.
    const QFileInfo audio(job.audioFile);
    const QFileInfo piece(result.piecePath);
    if (piece.exists() && audio.exists() && piece.canonicalFilePath() == audio.canonicalFilePath()) {
        result.reason = u"The audio file has the name of the splitter's piece, %1, and would be overwritten."_s.arg(
            QDir::toNativeSeparators(result.piecePath));
        return result;
    }
    if (QFileInfo::exists(result.piecePath) && !QFile::remove(result.piecePath)) {
        result.reason = u"The old piece %1 could not be removed."_s.arg(QDir::toNativeSeparators(result.piecePath));
        return result;
    }

    if (!job.isOgg) {
        // Without a safe end for the last track (TagLib cannot measure the file, or it is too long for 32-bit
        // sample counts) that track is cut without -b alone.
        const auto lastEnd = job.endTime ? std::optional<QString>(toTheEnd) : reservoirEndTime(job.audioFile);
        if (lastEnd) {
            const SplitterResult withReservoir = runOnce(*arguments(job, true, *lastEnd), result.piecePath);
            if (withReservoir.ok)
                return withReservoir;
            qCInfo(lcSplitter) << "Retrying without bit-reservoir handling:" << withReservoir.reason;
            QFile::remove(result.piecePath);
        }
    }
    return runOnce(*arguments(job, false, toTheEnd), result.piecePath);
}

} // namespace velvane
