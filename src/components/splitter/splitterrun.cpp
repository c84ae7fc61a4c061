#include "components/splitter/splitterrun.h"

#include "components/splitter/splittercommand.h"
#include "components/tags/frontrewrite.h"
#include "core/audio/audiolength.h"
#include "core/audio/filebytes.h"
#include "core/audio/mpegstream.h"
#include "core/audio/oggpiece.h"
#include "core/audio/oggstream.h"
#include "core/platform/processgroup.h"
#include "core/text/controlcharacters.h"

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
#include <filesystem>

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
    QString input;          // what the splitter reads: the audio file, or a copy of it that it can cut gaplessly
    QList<qint64> cutTimes; // hundredths on the audio as it stands, where stretches of it may be lost
    std::optional<qint64> cutEnd;
    QList<MpegDamage> damage;      // in samples of the album as it was whole
    bool albumEndsAsTold = true;   // its Info frame counts its frames, so its padding is at its end
    bool withoutInfoFrame = false; // MP3 without an Info frame, which a decoder plays from the first sample
    int leadHundredths = 0;        // how much earlier than each cut the splitter is asked to cut
    int runPieces = 0;             // the pieces the splitter is asked for: those that start before the audio's end
    bool toEnd = true;             // the last of them runs to the audio's end
    bool bitReservoir = false;
    bool started = false;

    std::unique_ptr<QProcess> process;
    QByteArray output; // the splitter's output not yet split into lines
    QString lastLine;  // for the log when it fails
    QString lastError; // the splitter's own words for its failure
    QList<bool> reported;
    QList<bool> cutWrong; // reported bad for how the splitter cut it
    QQueue<SplitterEvent> pending;
    std::optional<SplitterEvent> outcome;
    qint64 outputBytes = 0;
    qint64 progressMark = -1;
    QElapsedTimer sinceProgress;

    void begin();
    void measureAlbum();
    [[nodiscard]] QStringList splitterWords() const;
    void startSplitter(const QStringList &words);
    void readOutput(bool atEnd);
    void splitterEnded();
    [[nodiscard]] QString exitFailure() const;
    [[nodiscard]] bool isLastToEnd(int index) const { return index == runPieces - 1 && toEnd; }
    [[nodiscard]] std::pair<qint64, qint64> pieceSpan(int index) const;
    [[nodiscard]] QString damageIn(int index) const;
    [[nodiscard]] QString splitterCopy(const MpegStream &header);
    void cutAroundDamage();
    [[nodiscard]] qint64 splitterCut(qint64 hundredths) const;
    [[nodiscard]] int skippedAtCut(int cut) const;
    [[nodiscard]] qint64 streamSample(qint64 hundredths) const;
    [[nodiscard]] QString completeHeader(int index, const QString &path, std::optional<MpegStream> &piece);
    [[nodiscard]] QString pieceProblem(int index, const QString &path, const std::optional<MpegStream> &mpeg) const;
    [[nodiscard]] QString finishPiece(int index, const QString &path);
    [[nodiscard]] OggCheck checkOggPiece(int index, const QString &path) const;
    void fitOggPiece(int index, const QString &path);
    void report(int index, const QString &path);
    void reportPastEnd();
    void abort(const QString &reason);
    void kill();
    void removeUnfinished();
    // Kills the splitter and removes the pieces it had not finished.
    void discardRun()
    {
        kill();
        removeUnfinished();
    }
    void removeInput()
    {
        if (input != audio)
            QFile::remove(input);
    }
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
    cutWrong = reported;
    runPieces = int(starts.size());
    toEnd = !end;
    input = audio;
    cutTimes = starts;
    cutEnd = end;
    // Bit-reservoir handling writes the encoder delay and padding of each piece into a LAME header. The splitter
    // does it for an album with LAME's own tag or with no Info frame, and refuses any other Info frame: it is given
    // a copy where ffmpeg's tag ("Lavc") names LAME, which it then reads right, or where an Info frame without a
    // LAME tag (Xing, VBRI), which tells no delay, is left out.
    if (!request.isOgg) {
        const auto header = scanMpegFile(audio, true);
        const bool needsCopy = header && header->infoFrameOffset >= 0 && !header->writtenByLame;
        withoutInfoFrame = header && (header->infoFrameOffset < 0 || (needsCopy && !header->hasGaplessInfo));
        bitReservoir = header.has_value() && !request.onFrames;
        // Just more than the decoder's delay: every piece but one from the album's start skips a little of its front,
        // and the piece before it reaches that little further into the frames the splitter gave it past its end.
        if (withoutInfoFrame)
            leadHundredths = 529 * 100 / header->sampleRate + 1;
        if (needsCopy && (input = splitterCopy(*header)).isEmpty()) {
            return fail(u"The splitter can cut this audio file exactly only from a copy with another header, and "_s
                        u"none could be made in the work folder."_s);
        }
    }

    // The splitter starts on the cuts as the sheet gives them, which hold for an album read whole to its end; the
    // album is measured while it starts. Only where the measure moves a cut (damage, a track past the end) is the
    // run started over with the measured ones, before any piece is looked at.
    const QStringList assumed = splitterWords();
    startSplitter(assumed);
    if (outcome)
        return;
    measureAlbum();
    if (!album || album->samples <= 0 || album->sampleRate <= 0) {
        return abort(u"The audio file %1 could not be read as %2 audio."_s.arg(
            QDir::toNativeSeparators(audio), request.isOgg ? u"Ogg Vorbis"_s : u"MP3"_s));
    }
    // The splitter makes nothing from a start past the end, and fails when the first one is; those tracks are
    // told apart.
    runPieces = int(std::count_if(starts.cbegin(), starts.cend(),
                                  [&](qint64 start) { return album->samplesAt(start) < album->samples; }));
    toEnd = !end || album->samplesAt(*end) >= album->samples || runPieces < starts.size();
    if (!damage.isEmpty())
        cutAroundDamage();

    bool anyWhole = false;
    for (int i = 0; i < runPieces; ++i)
        anyWhole = anyWhole || damageIn(i).isEmpty();
    if (!anyWhole) {
        discardRun();
        for (int i = 0; i < runPieces; ++i) {
            reported[i] = true;
            pending.enqueue({SplitterEvent::PieceBad, i, {}, damageIn(i)});
        }
        reportPastEnd();
        outcome = SplitterEvent{SplitterEvent::Finished, -1, {}, {}};
        return;
    }
    if (const QStringList measured = splitterWords(); measured != assumed) {
        qCInfo(lcSplitter) << "cutting" << audio << "again from the start with the cuts its measure moved";
        discardRun();
        startSplitter(measured);
    }
}

void SplitterRun::State::measureAlbum()
{
    if (request.isOgg) {
        albumOgg = indexOggVorbisFile(audio);
        if (albumOgg.length)
            album = AudioLength{albumOgg.length->samples, albumOgg.length->sampleRate, albumOgg.length->longBlock};
    } else if ((albumMpeg = scanMpegFile(input))) {
        damage = albumMpeg->damage(QFileInfo(input).size());
        qint64 lost = 0;
        for (const MpegDamage &stretch : std::as_const(damage))
            lost += stretch.lostSamples;
        // Measured as it was whole, so that the tracks behind the damage keep their times.
        MpegStream whole = *albumMpeg;
        whole.audioFrames += lost / albumMpeg->frameSamples;
        albumEndsAsTold = whole.headerMatchesStream();
        album = AudioLength{whole.playedSamples(), albumMpeg->sampleRate, albumMpeg->frameSamples};
    }
}

QString SplitterRun::State::splitterCopy(const MpegStream &header)
{
    const QString copy = QDir(work).filePath(u"input.mp3"_s);
    QFile from(audio), to(copy);
    bool done = from.open(QIODevice::ReadOnly) && to.open(QIODevice::WriteOnly | QIODevice::NewOnly);
    if (done && header.hasGaplessInfo) {
        QByteArray head = from.read(header.lameTagOffset + 9);
        done = head.size() == header.lameTagOffset + 9 &&
               to.write(head.replace(header.lameTagOffset, 9, "LAME3.100")) == head.size();
    } else if (done) {
        done = to.write(from.read(header.infoFrameOffset)) == header.infoFrameOffset &&
               from.seek(header.infoFrameOffset + header.infoFrameSize);
    }
    while (done && !from.atEnd()) {
        const QByteArray block = from.read(4 << 20);
        done = !block.isEmpty() && to.write(block) == block.size();
    }
    if (!done || !to.flush()) {
        to.remove();
        return {};
    }
    return copy;
}

// The splitter counts the frames that are there, so behind a damaged stretch each of its times lies later in the
// music by what the damage took. Those times are moved back, and the tracks the damage touches fail.
void SplitterRun::State::cutAroundDamage()
{
    const auto onStream = [&](qint64 hundredths) {
        return (streamSample(hundredths) * 100 + album->sampleRate / 2) / album->sampleRate;
    };
    for (qsizetype i = 0; i < starts.size(); ++i)
        cutTimes[i] = onStream(starts[i]);
    if (end)
        cutEnd = onStream(*end);
}

std::pair<qint64, qint64> SplitterRun::State::pieceSpan(int index) const
{
    const qint64 from = album->samplesAt(starts[index]);
    const qint64 to =
        isLastToEnd(index) ? album->samples : album->samplesAt(index + 1 < starts.size() ? starts[index + 1] : *end);
    return {from, to};
}

QString SplitterRun::State::damageIn(int index) const
{
    const auto [from, to] = pieceSpan(index);
    for (const MpegDamage &stretch : damage) {
        if (from < stretch.to && stretch.from < to) {
            const qint64 rate = album->sampleRate;
            const qint64 last = (std::min(stretch.to, album->samples) + rate - 1) / rate * 100;
            return u"The album is damaged from %1 to %2."_s.arg(clockText(stretch.from * 100 / rate, false),
                                                                clockText(last, false));
        }
    }
    return {};
}

QStringList SplitterRun::State::splitterWords() const
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
    words << u"-q"_s << u"-o"_s << u"@n"_s << u"-d"_s << u"."_s << input;
    for (int i = 0; i < runPieces; ++i)
        words << splitterTime(splitterCut(cutTimes[i]));
    // "EOF" reaches the last frame whatever the Info header says, and with -b it gives the piece all of the
    // album's end; a time past the end would overflow the splitter's 32-bit sample count on long albums.
    words << (toEnd ? u"EOF"_s : splitterTime(splitterCut(*cutEnd)));
    return words;
}

void SplitterRun::State::startSplitter(const QStringList &words)
{
    process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"LC_ALL"_s, u"C"_s);
    process->setProcessEnvironment(environment);
    process->setWorkingDirectory(work);
    process->setProcessChannelMode(QProcess::MergedChannels);
    // A group of its own, so that a kill also reaches whatever the splitter started.
    startInOwnGroup(*process);
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
        report(index, QDir(work).filePath(name.captured(0)));
    }
}

// The splitter takes hundredths, and cuts MP3 with bit-reservoir handling to the sample; where a cut must fall
// between hundredths (behind a damaged stretch), the piece's header skips the difference. An album without an Info
// frame is played from its very first sample, but the splitter cuts it as if a decoder's delay were skipped in front,
// each piece that much late; so it is asked for each cut a little earlier, where the piece still decodes as the album
// does, and the header skips the rest. These are the hundredths the splitter is given, and the samples skipped at a
// cut (index runPieces: the end).
qint64 SplitterRun::State::splitterCut(qint64 hundredths) const
{
    return bitReservoir ? std::max<qint64>(0, hundredths - leadHundredths) : hundredths;
}

int SplitterRun::State::skippedAtCut(int cut) const
{
    constexpr int decoderDelay = 529;
    const qint64 wanted = streamSample(cut < runPieces ? starts[cut] : *end);
    const qint64 cutAt = album->samplesAt(splitterCut(cut < runPieces ? cutTimes[cut] : *cutEnd));
    return int(wanted - cutAt - (withoutInfoFrame ? decoderDelay : 0));
}

qint64 SplitterRun::State::streamSample(qint64 hundredths) const
{
    const qint64 sample = album->samplesAt(hundredths);
    qint64 lost = 0;
    for (const MpegDamage &stretch : damage)
        lost += stretch.from < sample ? stretch.lostSamples : 0;
    return sample - lost;
}

namespace {

// The stamp is taken before the piece is read, so that a piece changed meanwhile is left alone.
bool primeWithSilence(const QString &path, const MpegStream &piece, int delay, int padding)
{
    const auto stamp = stampOf(path);
    if (!stamp)
        return false;
    const auto plan = silencePrimedFront(path, piece, delay, padding);
    return plan && rewriteFront(path, *stamp, *plan).ok;
}

} // namespace

// The splitter's LAME header of an MP3 piece, made right for gapless players. The last piece would keep the
// encoder's padding of the album at its end, unless told; a joined album's header speaks for its first part only, so
// its padding is not at the end and none is dropped. The splitter often leaves the tag's CRC stale. A piece that
// must start before the first sample a decoder plays gets a frame of silence in front to skip instead.
QString SplitterRun::State::completeHeader(int index, const QString &path, std::optional<MpegStream> &piece)
{
    if (!bitReservoir || !piece || !piece->hasGaplessInfo || !piece->gaps.isEmpty())
        return {};
    const int delay = piece->encoderDelay + skippedAtCut(index);
    int padding = piece->encoderPadding - (isLastToEnd(index) ? 0 : skippedAtCut(index + 1));
    if (isLastToEnd(index))
        padding = albumEndsAsTold ? albumMpeg->encoderPadding : 0;
    if (delay == piece->encoderDelay && padding == piece->encoderPadding && piece->lameCrcValid)
        return {};
    if (delay < 0) {
        // Only a piece from the album's first frame decodes right behind a frame of silence.
        if (splitterCut(cutTimes[index]) > 0 || !primeWithSilence(path, *piece, delay + piece->frameSamples, padding) ||
            !(piece = scanMpegFile(path)))
            return u"The header of the splitter's piece could not be completed."_s;
        return {};
    }
    if (!setGaplessInfo(path, *piece, delay, padding))
        return u"The header of the splitter's piece could not be completed."_s;
    piece->encoderDelay = delay;
    piece->encoderPadding = padding;
    piece->lameCrcValid = true;
    if (piece->frameCountOffset >= 0)
        piece->headerFrames = piece->audioFrames;
    return {};
}

QString SplitterRun::State::pieceProblem(int index, const QString &path, const std::optional<MpegStream> &mpeg) const
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
        const auto [from, to] = pieceSpan(index);
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
        if (!mpeg)
            return u"The splitter's piece is not playable MP3 audio."_s;
        if (!mpeg->gaps.isEmpty())
            return u"The splitter's piece is damaged: part of it is no MP3 audio."_s;
        samples = mpeg->playedSamples();
    }

    const auto [from, to] = pieceSpan(index);
    // Without bit-reservoir handling the splitter cuts MP3 on frame boundaries, so either end may be a frame off. With
    // it, an MP3 piece is exact to the sample, and one that is not was cut wrong (a piece shorter than a frame came out
    // thrice its length). An Ogg piece not found in the album (one that spans a chained file's join) is measured as
    // libvorbis plays it and held to a cut's 3.3 ms; in one run over many cut points the splitter sometimes drops or
    // repeats part of a block at a cut where a run for the piece alone cuts it right, so there it must be exact to a
    // millisecond and is otherwise made again on its own.
    qint64 tolerance = album->frameSamples * 2;
    if (request.isOgg)
        tolerance = starts.size() > 1 ? std::max<qint64>(2, album->sampleRate / 1000) : album->sampleRate * 33 / 10000;
    else if (bitReservoir)
        tolerance = std::max<qint64>(2, album->sampleRate / 1000);
    if (qAbs(samples - (to - from)) > tolerance) {
        return u"The piece came out %1 long instead of %2."_s.arg(secondsText(samples, album->sampleRate),
                                                                  secondsText(to - from, album->sampleRate));
    }
    return {};
}

// Empty when the piece is its track, made ready for players; otherwise why not.
QString SplitterRun::State::finishPiece(int index, const QString &path)
{
    if (const QString damaged = damageIn(index); !damaged.isEmpty())
        return damaged;
    // Every frame is walked: a header can claim any length, and the bytes between frames can be anything.
    std::optional<MpegStream> mpeg;
    if (request.isOgg && QFileInfo(path).isFile())
        fitOggPiece(index, path);
    else if (QFileInfo(path).isFile())
        mpeg = scanMpegFile(path);
    if (const QString unfinished = completeHeader(index, path, mpeg); !unfinished.isEmpty())
        return unfinished;
    return pieceProblem(index, path, mpeg);
}

// The splitter's granule positions can make an Ogg piece play other samples than its track's: around tracks of a
// second or less, and at every cut of some encoders' albums; in one run it sometimes leaves out the packet a track
// begins with. Such a piece is rebuilt, with granule positions that make it play exactly its track, from its own
// packets and where they fall short from the album's, rather than cut again at the cost of another run.
SplitterRun::State::OggCheck SplitterRun::State::checkOggPiece(int index, const QString &path) const
{
    OggCheck check;
    const FileBytes bytes(path);
    if (bytes.isEmpty())
        return check;
    const QByteArrayView data = bytes.data();
    check.piece = inspectOggVorbisPiece(data);
    if (check.piece.damagedAt < 0 && check.piece.length)
        check.place = placeOggPiece(data, albumOgg, pieceSpan(index).first);
    return check;
}

void SplitterRun::State::fitOggPiece(int index, const QString &path)
{
    const OggCheck check = checkOggPiece(index, path);
    oggChecks.insert(index, check);
    const OggVorbisPiece &piece = check.piece;
    const std::optional<OggPiecePlace> &place = check.place;
    const auto [from, to] = pieceSpan(index);
    if (!place || (!piece.holes && place->start + piece.startTrim == from && piece.length->samples == to - from))
        return;
    const FileBytes bytes(path);
    if (bytes.isEmpty())
        return;
    const FileBytes albumBytes(audio);
    const auto rebuilt = rebuildOggPiece(bytes.data(), albumBytes.data(), albumOgg, *place, from, to);
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
    QString problem = finishPiece(index, path);
    // The splitter carries the bit reservoir from one MP3 piece into the next: behind a piece it cut wrong, the next
    // one starts wrong as well (seen behind pieces shorter than a frame), though its length is right.
    if (problem.isEmpty() && !request.isOgg && index > 0 && cutWrong[index - 1])
        problem = u"The piece before it was cut wrong, and so was its start."_s;
    cutWrong[index] = !problem.isEmpty() && damageIn(index).isEmpty();
    if (problem.isEmpty() && !request.isOgg && !bitReservoir) {
        const qint64 frameMilliseconds = (album->frameSamples * 1000 + album->sampleRate - 1) / album->sampleRate;
        pending.enqueue({SplitterEvent::PieceInexact, index, path,
                         u"The splitter could cut this track only at MP3 frame boundaries (up to %1 ms off)."_s.arg(
                             frameMilliseconds)});
        return;
    }
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
    QString failure;
    if (process->exitStatus() == QProcess::CrashExit)
        failure = u"The splitter crashed."_s;
    else if (process->exitCode() != 0)
        failure = exitFailure();
    if (!failure.isEmpty())
        qCWarning(lcSplitter) << failure << "Its last words:" << lastLine;

    if (!failure.isEmpty()) {
        removeUnfinished();
        fail(failure);
        // In the C locale the splitter says so when a frame has no room for the header that carries the reservoir.
        outcome->reservoirRefused = bitReservoir && lastError.startsWith(u"bit reservoir failed"_s);
        return;
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
    killGroup(*process);
    process->waitForFinished(killWaitMilliseconds);
}

void SplitterRun::State::abort(const QString &reason)
{
    discardRun();
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
        s.discardRun();
    }
    s.removeInput();
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
        if (s.outcome) {
            s.removeInput();
            return *s.outcome;
        }
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
            s.outcome->stalled = true;
        }
    }
}

} // namespace velvane
