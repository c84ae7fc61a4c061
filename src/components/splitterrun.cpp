#include "components/splitterrun.h"

#include "components/audiolength.h"
#include "components/mpegstream.h"
#include "components/oggpiece.h"
#include "components/oggstream.h"
#include "components/splittercommand.h"
#include "core/split/outputname.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QQueue>
#include <QRegularExpression>
#include <QStorageInfo>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace velvane {

namespace {

constexpr int pollMilliseconds = 100;
constexpr int killWaitMilliseconds = 5000;

// The splitter names pieces "@n": the piece's number, zero-filled to the width of the piece count.
const QRegularExpression pieceName(u"^([0-9]{1,9})\\.(mp3|ogg)$"_s);
// In the C locale, each finished piece is announced on a line of its own, and is complete when it is.
const QRegularExpression pieceCreated(u"File \"(?:.*/)?([^/\"]+)\" created"_s);

QString clockText(qint64 hundredths, bool withHundredths)
{
    const qint64 seconds = hundredths / 100;
    QString text = u"%1:%2"_s.arg(seconds / 60).arg(seconds % 60, 2, 10, QChar(u'0'));
    if (withHundredths)
        text += u".%1"_s.arg(hundredths % 100, 2, 10, QChar(u'0'));
    return text;
}

QString secondsText(qint64 samples, int sampleRate)
{
    return u"%1 s"_s.arg(double(samples) / sampleRate, 0, 'f', 2);
}

} // namespace

struct SplitterRun::State
{
    SplitterRunRequest request;
    QString audio;
    QString work;
    QString extension;
    std::optional<AudioLength> album;
    std::optional<MpegStream> albumMpeg;
    OggVorbisAlbum albumOgg;
    struct OggCheck
    {
        OggVorbisPiece piece;
        std::optional<OggPiecePlace> place; // where it was found in the album
    };
    QHash<int, OggCheck> oggChecks; // by piece, as fitOggPiece left it
    QList<qint64> starts;           // hundredths, as the splitter gets them
    std::optional<qint64> end;
    int runPieces = 0; // the pieces the splitter is asked for: those that start before the audio's end
    bool toEnd = true; // the last of them runs to the audio's end
    bool bitReservoir = false;
    bool started = false;

    std::unique_ptr<QProcess> process;
    QByteArray output; // the splitter's output not yet split into lines
    QString lastLine;  // for the log when it fails
    QString lastError; // the splitter's own words for its failure
    QList<bool> reported;
    QQueue<SplitterEvent> pending;
    std::optional<SplitterEvent> outcome;
    qint64 outputBytes = 0;
    qint64 progressMark = -1;
    QElapsedTimer sinceProgress;

    void begin();
    void startSplitter();
    void readOutput(bool atEnd);
    void splitterEnded();
    [[nodiscard]] QString exitFailure() const;
    [[nodiscard]] bool isLastToEnd(int index) const { return index == runPieces - 1 && toEnd; }
    [[nodiscard]] std::pair<qint64, qint64> trackSamples(int index) const;
    [[nodiscard]] OggCheck checkOggPiece(int index, const QString &path) const;
    void fitOggPiece(int index, const QString &path);
    [[nodiscard]] QString pieceProblem(int index, const QString &path) const;
    void report(int index, const QString &path);
    void reportPastEnd();
    [[nodiscard]] bool retryWithoutReservoir(const QString &why);
    void abort(const QString &reason);
    void kill();
    void removeUnfinished();
    [[nodiscard]] QMap<int, QString> pieceFiles() const;
    [[nodiscard]] qint64 progress() const;
    void fail(const QString &reason) { outcome = SplitterEvent{SplitterEvent::Failed, -1, {}, reason}; }
};

void SplitterRun::State::begin()
{
    const QList<qint64> &frames = request.starts;
    if (frames.isEmpty())
        return fail(u"There is nothing to cut."_s);
    for (qsizetype i = 0; i < frames.size(); ++i) {
        if (frames[i] < 0 || (i > 0 && frames[i] <= frames[i - 1]))
            return fail(u"The start times do not rise from track to track."_s);
    }
    if (request.end && *request.end <= frames.last())
        return fail(u"The last track ends before it starts."_s);

    // Absolute paths begin with "/", so the splitter never takes one for an option.
    audio = QFileInfo(request.audioFile).absoluteFilePath();
    work = QFileInfo(request.workFolder).absoluteFilePath();
    extension = request.isOgg ? u"ogg"_s : u"mp3"_s;
    if (!QFileInfo(work).isDir())
        return fail(u"The work folder %1 is missing."_s.arg(QDir::toNativeSeparators(work)));
    // The splitter overwrites without asking, and a piece of this run must never be confused with another's.
    if (!pieceFiles().isEmpty())
        return fail(u"The work folder %1 already holds pieces."_s.arg(QDir::toNativeSeparators(work)));

    for (qint64 start : frames)
        starts.append(hundredthsOfFrames(start));
    if (request.end)
        end = hundredthsOfFrames(*request.end);
    reported = QList<bool>(starts.size(), false);
    runPieces = int(starts.size());
    toEnd = !end;
    // Bit-reservoir handling writes the encoder delay and padding of each piece into a LAME header, which the
    // splitter can only do when the album has one.
    if (!request.isOgg) {
        const auto header = scanMpegFile(audio, true);
        bitReservoir = header && header->hasGaplessInfo;
    }

    // The album is measured while the splitter already reads it.
    startSplitter();
    if (outcome)
        return;
    if (request.isOgg) {
        albumOgg = indexOggVorbisFile(audio);
        if (albumOgg.length)
            album = AudioLength{albumOgg.length->samples, albumOgg.length->sampleRate, albumOgg.length->longBlock};
    } else if ((albumMpeg = measureMpegFile(audio))) {
        album = AudioLength{albumMpeg->playedSamples(), albumMpeg->sampleRate, albumMpeg->frameSamples};
    }
    if (!album || album->samples <= 0 || album->sampleRate <= 0) {
        return abort(u"The audio file %1 could not be read as %2 audio."_s.arg(
            QDir::toNativeSeparators(audio), request.isOgg ? u"Ogg Vorbis"_s : u"MP3"_s));
    }
    // The splitter makes nothing from a start past the end, and fails when the first one is; those tracks are
    // told apart.
    runPieces = int(std::count_if(starts.cbegin(), starts.cend(),
                                  [&](qint64 start) { return album->samplesAt(start) < album->samples; }));
    toEnd = !end || album->samplesAt(*end) >= album->samples || runPieces < starts.size();
}

void SplitterRun::State::startSplitter()
{
    QStringList words;
    if (!request.isOgg)
        words << u"-f"_s;
    if (bitReservoir)
        words << u"-b"_s;
    if (request.tagRoom.isEmpty()) {
        words << u"-n"_s;
    } else {
        // A comment of plain letters, as long as the room asked for (two bytes a letter in an ID3v2 comment), makes
        // the splitter write a tag of that size; no text of the user's ever goes into these options.
        // One argument may not be longer than 128 KiB on Linux, and a whole command line 32 Ki characters on
        // Windows; pieces past the budget get no room and are tagged through a copy instead.
#ifdef Q_OS_WIN
        constexpr qsizetype placeholderBudget = 16'000;
#else
        constexpr qsizetype placeholderBudget = 120'000;
#endif
        QString placeholders;
        for (int i = 0; i < runPieces; ++i) {
            const int room = request.tagRoom.value(i);
            const qsizetype letters = request.isOgg ? room : (room + 1) / 2;
            const bool fits = placeholders.size() + letters + 5 * (runPieces - i) <= placeholderBudget;
            placeholders += u"[@c="_s % QString(fits ? letters : 0, u'x') % u']';
        }
        if (!request.isOgg)
            words << u"-T"_s << u"2"_s;
        words << u"-g"_s << placeholders;
    }
    // "-d ." keeps the output lines free of the user's folder names.
    words << u"-q"_s << u"-o"_s << u"@n"_s << u"-d"_s << u"."_s << audio;
    for (int i = 0; i < runPieces; ++i)
        words << splitterTime(starts[i]);
    // Before the album is measured, a start past its end may still be among these; the splitter stops there.
    // "EOF" reaches the last frame whatever the Info header says, and with -b it gives the piece all of the
    // album's end; a time past the end would overflow the splitter's 32-bit sample count on long albums.
    words << (toEnd ? u"EOF"_s : splitterTime(*end));

    process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"LC_ALL"_s, u"C"_s);
    process->setProcessEnvironment(environment);
    process->setWorkingDirectory(work);
    process->setProcessChannelMode(QProcess::MergedChannels);
    // A group of its own, so that a kill also reaches whatever the splitter started.
    process->setChildProcessModifier([] { ::setpgid(0, 0); });
    qCDebug(lcSplitter) << "running" << splitterProgram() << words;
    process->start(splitterProgram(), words, QIODevice::ReadOnly);
    if (!process->waitForStarted(-1)) {
        process.reset();
        return fail(u"The splitter %1 could not be started."_s.arg(splitterProgram()));
    }
    output.clear();
    progressMark = progress();
    sinceProgress.start();
}

void SplitterRun::State::readOutput(bool atEnd)
{
    const QByteArray read = process->readAll();
    outputBytes += read.size();
    output += read;
    if (atEnd)
        output += '\n';
    qsizetype lineEnd;
    while ((lineEnd = output.indexOf('\n')) >= 0) {
        const QString line = QString::fromLocal8Bit(output.first(lineEnd)).trimmed();
        output.remove(0, lineEnd + 1);
        const auto created = pieceCreated.match(line);
        const auto name = created.hasMatch() ? pieceName.match(created.captured(1)) : QRegularExpressionMatch();
        if (!name.hasMatch()) {
            if (!line.isEmpty())
                lastLine = line;
            if (line.startsWith(u"error:"_s))
                lastError = line.sliced(6).trimmed();
            continue;
        }
        const int index = name.captured(1).toInt() - 1;
        if (name.captured(2) != extension || index < 0 || index >= runPieces || reported[index])
            continue;
        // A lone piece with -b is looked at when the splitter is done, so that a bad one can be cut again.
        if (runPieces == 1 && bitReservoir)
            continue;
        report(index, QDir(work).filePath(name.captured(0)));
    }
}

QString SplitterRun::State::pieceProblem(int index, const QString &path) const
{
    const QFileInfo info(path);
    if (!info.isFile())
        return u"The splitter made no piece for this track."_s;
    if (info.size() == 0)
        return u"The splitter left an empty piece."_s;

    qint64 samples = 0;
    if (request.isOgg) {
        const OggCheck check = oggChecks.contains(index) ? oggChecks.value(index) : checkOggPiece(index, path);
        const OggVorbisPiece &piece = check.piece;
        if (piece.damagedAt >= 0)
            return u"The splitter's piece is damaged from byte %1 on."_s.arg(piece.damagedAt);
        if (!piece.length)
            return u"The splitter's piece is not playable Ogg Vorbis audio."_s;
        samples = piece.length->samples;
        // A piece found in the album must play its track's samples exactly: fitOggPiece made it so where it could.
        const auto [from, to] = trackSamples(index);
        const std::optional<OggPiecePlace> &place = check.place;
        if (place && (piece.holes || place->start + piece.startTrim != from)) {
            return u"The piece starts at %1 instead of %2."_s.arg(
                secondsText(place->start + piece.startTrim, album->sampleRate), secondsText(from, album->sampleRate));
        }
        if (place && samples != to - from) {
            return u"The piece came out %1 long instead of %2."_s.arg(secondsText(samples, album->sampleRate),
                                                                      secondsText(to - from, album->sampleRate));
        }
    } else {
        // The last piece is walked whole: its frame count goes into its header, and the splitter's own count of it
        // can be a frame off.
        auto piece = isLastToEnd(index) ? scanMpegFile(path) : measureMpegFile(path);
        if (!piece)
            return u"The splitter's piece is not playable MP3 audio."_s;
        if (bitReservoir && piece->hasGaplessInfo && (isLastToEnd(index) || !piece->lameCrcValid)) {
            // The splitter leaves the last piece without the album's padding, so it would play the encoder's
            // padding at the end; a joined album's header speaks for its first part only, so its padding is not
            // at the end and none is dropped. Its CRC of the LAME tag is often stale too.
            int padding = piece->encoderPadding;
            if (isLastToEnd(index))
                padding = albumMpeg->headerMatchesStream() ? albumMpeg->encoderPadding : 0;
            if (!setPieceEnd(path, *piece, padding) || !(piece = measureMpegFile(path)))
                return u"The header of the splitter's piece could not be completed."_s;
        }
        samples = piece->playedSamples();
    }

    const auto [from, to] = trackSamples(index);
    // Without bit-reservoir handling the splitter cuts MP3 on frame boundaries, so either end may be a frame off.
    // An Ogg piece not found in the album (one that spans a chained file's join) is measured as libvorbis plays it
    // and held to a cut's 3.3 ms; in one run over many cut points the splitter sometimes drops or repeats part of a
    // block at a cut where a run for the piece alone cuts it right, so there it must be exact to a millisecond and
    // is otherwise made again on its own.
    qint64 tolerance = album->frameSamples * (bitReservoir ? 1 : 2);
    if (request.isOgg)
        tolerance = starts.size() > 1 ? std::max<qint64>(2, album->sampleRate / 1000) : album->sampleRate * 33 / 10000;
    if (qAbs(samples - (to - from)) > tolerance) {
        return u"The piece came out %1 long instead of %2."_s.arg(secondsText(samples, album->sampleRate),
                                                                  secondsText(to - from, album->sampleRate));
    }
    return {};
}

std::pair<qint64, qint64> SplitterRun::State::trackSamples(int index) const
{
    const qint64 from = album->samplesAt(starts[index]);
    const qint64 to =
        isLastToEnd(index) ? album->samples : album->samplesAt(index + 1 < starts.size() ? starts[index + 1] : *end);
    return {from, to};
}

// The splitter's granule positions can make an Ogg piece play other samples than its track's: around tracks of a
// second or less, and at every cut of some encoders' albums; in one run it sometimes leaves out the packet a track
// begins with. Such a piece is rebuilt, with granule positions that make it play exactly its track, from its own
// packets and where they fall short from the album's, rather than cut again at the cost of another run.
SplitterRun::State::OggCheck SplitterRun::State::checkOggPiece(int index, const QString &path) const
{
    OggCheck check;
    QFile file(path);
    const uchar *mapped = file.open(QIODevice::ReadOnly) ? file.map(0, file.size()) : nullptr;
    if (!mapped)
        return check;
    const QByteArrayView data(mapped, file.size());
    check.piece = inspectOggVorbisPiece(data);
    if (check.piece.damagedAt < 0 && check.piece.length)
        check.place = placeOggPiece(data, albumOgg, trackSamples(index).first);
    return check;
}

void SplitterRun::State::fitOggPiece(int index, const QString &path)
{
    const OggCheck check = checkOggPiece(index, path);
    oggChecks.insert(index, check);
    const OggVorbisPiece &piece = check.piece;
    const std::optional<OggPiecePlace> &place = check.place;
    const auto [from, to] = trackSamples(index);
    if (!place || (!piece.holes && place->start + piece.startTrim == from && piece.length->samples == to - from))
        return;
    QFile file(path);
    const uchar *mapped = file.open(QIODevice::ReadOnly) ? file.map(0, file.size()) : nullptr;
    if (!mapped)
        return;
    const QByteArrayView data(mapped, file.size());
    QFile albumFile(audio);
    const uchar *albumMapped = albumFile.open(QIODevice::ReadOnly) ? albumFile.map(0, albumFile.size()) : nullptr;
    const QByteArrayView albumData = albumMapped ? QByteArrayView(albumMapped, albumFile.size()) : QByteArrayView();
    const auto rebuilt = rebuildOggPiece(data, albumData, albumOgg, *place, from, to);
    if (!rebuilt)
        return;
    // Written beside it under a name no piece has, then put in its place; not synced, as nothing in the work folder
    // needs to outlive a crash.
    const QString rebuilding = QDir(work).filePath(u".rebuilding-"_s + QFileInfo(path).fileName());
    QFile out(rebuilding);
    std::error_code error;
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(*rebuilt) != rebuilt->size() ||
        !out.flush()) {
        qCWarning(lcSplitter) << "could not rebuild piece" << index + 1 << "of" << audio << ":" << out.errorString();
        out.remove();
        return;
    }
    out.close();
    std::filesystem::rename(QFile::encodeName(rebuilding).toStdString(), QFile::encodeName(path).toStdString(), error);
    if (error) {
        qCWarning(lcSplitter) << "could not rebuild piece" << index + 1 << "of" << audio << ":"
                              << error.message().c_str();
        QFile::remove(rebuilding);
        return;
    }
    qCDebug(lcSplitter) << "rebuilt piece" << index + 1 << "of" << audio << "to play exactly its track";
    oggChecks.insert(index, checkOggPiece(index, path));
}

void SplitterRun::State::report(int index, const QString &path)
{
    reported[index] = true;
    if (request.isOgg && QFileInfo(path).isFile())
        fitOggPiece(index, path);
    const QString problem = pieceProblem(index, path);
    if (problem.isEmpty()) {
        pending.enqueue({SplitterEvent::PieceReady, index, path, {}});
        return;
    }
    qCWarning(lcSplitter) << "piece" << index + 1 << "of" << audio << "is bad:" << problem;
    QFile::remove(path);
    pending.enqueue({SplitterEvent::PieceBad, index, {}, problem});
}

void SplitterRun::State::reportPastEnd()
{
    const qint64 albumEnd = album->samples * 100 / album->sampleRate;
    const QMap<int, QString> files = pieceFiles();
    for (int i = runPieces; i < starts.size(); ++i) {
        if (files.contains(i + 1))
            QFile::remove(QDir(work).filePath(files.value(i + 1)));
        reported[i] = true;
        // Hundredths only where whole seconds would read as the same time.
        const bool fine = starts[i] / 100 == albumEnd / 100;
        pending.enqueue({SplitterEvent::PieceBad,
                         i,
                         {},
                         u"The track starts at %1, after the end of the audio (%2)."_s.arg(clockText(starts[i], fine),
                                                                                           clockText(albumEnd, fine))});
    }
}

bool SplitterRun::State::retryWithoutReservoir(const QString &why)
{
    if (!bitReservoir || reported.contains(true))
        return false;
    qCInfo(lcSplitter) << "cutting" << audio << "again without bit-reservoir handling:" << why;
    removeUnfinished();
    bitReservoir = false;
    startSplitter();
    return true;
}

// What the user can act on: a full destination above all, else the splitter's own words.
QString SplitterRun::State::exitFailure() const
{
    // A write that fails for want of room leaves less than one of the splitter's buffers free.
    constexpr qint64 fullMargin = 1 << 20;
    const QStorageInfo storage(work);
    if (storage.isValid() && storage.bytesAvailable() < fullMargin)
        return u"The destination is full: there is no room left for the track."_s;
    QString failure = u"The splitter failed with exit status %1"_s.arg(process->exitCode());
    if (!lastError.isEmpty())
        failure += u": "_s + withoutControlCharacters(lastError);
    return failure + u'.';
}

void SplitterRun::State::splitterEnded()
{
    readOutput(true);
    if (runPieces == 0) {
        reportPastEnd();
        outcome = SplitterEvent{SplitterEvent::Finished, -1, {}, {}};
        return;
    }
    QString failure;
    if (process->exitStatus() == QProcess::CrashExit)
        failure = u"The splitter crashed."_s;
    else if (process->exitCode() != 0)
        failure = exitFailure();
    if (!failure.isEmpty())
        qCWarning(lcSplitter) << failure << "Its last words:" << lastLine;

    if (runPieces == 1 && bitReservoir) {
        const QString path = pieceFiles().value(1);
        const QString problem = !failure.isEmpty() ? failure : pieceProblem(0, QDir(work).filePath(path));
        if (problem.isEmpty()) {
            reported[0] = true;
            pending.enqueue({SplitterEvent::PieceReady, 0, QDir(work).filePath(path), {}});
        } else if (retryWithoutReservoir(problem)) {
            return;
        }
    }
    if (!failure.isEmpty()) {
        if (retryWithoutReservoir(failure))
            return;
        removeUnfinished();
        return fail(failure);
    }
    // Pieces the splitter did not announce are looked at all the same; a missing one is told.
    const QMap<int, QString> files = pieceFiles();
    for (int i = 0; i < runPieces; ++i) {
        if (!reported[i])
            report(i, QDir(work).filePath(files.value(i + 1, u"%1.%2"_s.arg(i + 1).arg(extension))));
    }
    reportPastEnd();
    outcome = SplitterEvent{SplitterEvent::Finished, -1, {}, {}};
}

void SplitterRun::State::kill()
{
    if (!process || process->state() == QProcess::NotRunning)
        return;
    // Still unreaped, so the group id cannot belong to anyone else.
    const qint64 pid = process->processId();
    if (pid > 0)
        ::kill(pid_t(-pid), SIGKILL);
    process->kill();
    process->waitForFinished(killWaitMilliseconds);
}

void SplitterRun::State::abort(const QString &reason)
{
    kill();
    removeUnfinished();
    qCWarning(lcSplitter) << "splitting" << audio << "ended early:" << reason;
    fail(reason);
}

void SplitterRun::State::removeUnfinished()
{
    const QMap<int, QString> files = pieceFiles();
    for (auto file = files.cbegin(); file != files.cend(); ++file) {
        const int index = file.key() - 1;
        if (index >= 0 && index < reported.size() && !reported[index])
            QFile::remove(QDir(work).filePath(file.value()));
    }
}

QMap<int, QString> SplitterRun::State::pieceFiles() const
{
    QMap<int, QString> files;
    const QStringList names = QDir(work).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names) {
        const auto match = pieceName.match(name);
        if (match.hasMatch() && match.captured(2) == extension)
            files.insert(match.captured(1).toInt(), name);
    }
    return files;
}

qint64 SplitterRun::State::progress() const
{
    qint64 bytes = outputBytes;
    const QMap<int, QString> files = pieceFiles();
    for (const QString &name : files)
        bytes += QFileInfo(QDir(work).filePath(name)).size();
    return bytes;
}

SplitterRun::SplitterRun(SplitterRunRequest request)
    : m_state(std::make_unique<State>())
{
    m_state->request = std::move(request);
}

SplitterRun::~SplitterRun()
{
    State &s = *m_state;
    if (s.process && s.process->state() != QProcess::NotRunning) {
        s.kill();
        s.removeUnfinished();
    }
}

void SplitterRun::start()
{
    State &s = *m_state;
    if (!s.started) {
        s.started = true;
        s.begin();
    }
}

SplitterEvent SplitterRun::next(const std::function<bool()> &stopRequested)
{
    State &s = *m_state;
    start();
    for (;;) {
        if (!s.pending.isEmpty())
            return s.pending.dequeue();
        if (s.outcome)
            return *s.outcome;
        if (stopRequested && stopRequested()) {
            s.abort(u"The split was stopped."_s);
            continue;
        }
        if (s.process->state() != QProcess::NotRunning)
            s.process->waitForReadyRead(pollMilliseconds);
        if (s.process->state() == QProcess::NotRunning) {
            s.splitterEnded();
            continue;
        }
        s.readOutput(false);

        const qint64 progress = s.progress();
        if (progress != s.progressMark) {
            s.progressMark = progress;
            s.sinceProgress.start();
        } else if (s.sinceProgress.elapsed() >= s.request.stallTimeout.count()) {
            s.abort(u"The splitter made no progress for %1 s and was stopped."_s.arg(
                double(s.request.stallTimeout.count()) / 1000.0));
        }
    }
}

} // namespace velvane
