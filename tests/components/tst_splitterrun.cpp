#include "components/splitter/splitterrun.h"
#include "core/audio/audiolength.h"
#include "core/audio/oggpiece.h"
#include "support/audiofixture.h"
#include "support/files.h"
#include "support/splitters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace velvane;
using velvane::test::AlbumFormat;
using velvane::test::entriesOf;
using velvane::test::readFile;

namespace {

// Two encodes put end to end, so its Info header covers the first only; baseName.mp3 in folder.
std::optional<test::Album> joinedAlbum(const QString &folder, AlbumFormat format, double first, double second,
                                       const QString &baseName)
{
    const auto album = test::makeAlbum(folder, format, {first}, baseName);
    const auto rest = test::makeAlbum(folder, format, {second}, u"second"_s);
    QFile file(album ? album->path : QString());
    if (!rest || !file.open(QIODevice::Append) || file.write(test::readFile(rest->path)) <= 0)
        return std::nullopt;
    return album;
}

// Every event until the run is over, as "ready 0 01.mp3", "bad 1: reason", "inexact 1: reason", "finished" or
// "failed: reason".
QStringList eventsOf(SplitterRun &run)
{
    QStringList events;
    for (SplitterEvent event = run.next();; event = run.next()) {
        if (event.kind == SplitterEvent::Finished || event.kind == SplitterEvent::Failed)
            return events << (event.kind == SplitterEvent::Finished ? u"finished"_s : u"failed: "_s + event.reason);
        if (event.kind == SplitterEvent::PieceReady)
            events << u"ready %1 %2"_s.arg(event.piece).arg(QFileInfo(event.path).fileName());
        else
            events << u"%1 %2: %3"_s.arg(event.kind == SplitterEvent::PieceBad ? u"bad"_s : u"inexact"_s)
                          .arg(event.piece)
                          .arg(event.reason);
    }
}

} // namespace

class TestSplitterRun : public QObject
{
    Q_OBJECT

private slots:
    // Each piece is told as it is made. One told ready is its track, to 3.3 ms (147 samples) at either end, and the
    // pieces of a whole album, all ready, joined are the album, sample for sample, to its end. Only the ready pieces
    // stay; the album, in a folder of a hostile name and handed over by a relative name like an option, is untouched.
    void eachPieceIsTold_data()
    {
        QTest::addColumn<AlbumFormat>("format");
        QTest::addColumn<QList<double>>("album"); // seconds; two: encodes put end to end, the header covering the first
        QTest::addColumn<QList<qint64>>("starts"); // cue frames
        QTest::addColumn<qint64>("end");           // cue frames; -1: to the end
        QTest::addColumn<QByteArray>("splitter");  // the stand-in's shell code; empty: the real splitter
        QTest::addColumn<QStringList>("events");   // how each begins

        // Cue frames at uneven steps, none on a hundredth; the album ends off any frame or hundredth.
        const auto whole = [](const char *name, AlbumFormat format, int pieces, bool joined = false) {
            QList<qint64> starts;
            QStringList events;
            for (int i = 0; i < pieces; ++i) {
                starts << i * (pieces > 20 ? 17 : 203) + (i % 3);
                events << u"ready %1 %2.%3"_s.arg(i)
                              .arg(i + 1, int(QString::number(pieces).size()), 10, QChar(u'0'))
                              .arg(format == AlbumFormat::Ogg ? u"ogg"_s : u"mp3"_s);
            }
            const double seconds = (starts.last() + 150) / 75.0 + 0.01234;
            QTest::newRow(name) << format << (joined ? QList<double>{seconds / 3, seconds * 2 / 3} : QList{seconds})
                                << starts << qint64(-1) << QByteArray() << (events << u"finished"_s);
        };
        whole("mp3 vbr, 12 pieces", AlbumFormat::Mp3Vbr, 12);
        whole("mp3 cbr, 105 pieces", AlbumFormat::Mp3Cbr, 105);
        whole("ogg, 12 pieces", AlbumFormat::Ogg, 12);
        whole("joined mp3", AlbumFormat::Mp3Cbr, 2, true);
        // The splitter refuses the bit reservoir for ffmpeg's tag, and without it each piece lost 25 ms and began with
        // a frame decoded wrong.
        whole("ffmpeg mp3 vbr, 12 pieces", AlbumFormat::Mp3FfmpegVbr, 12);
        // No Info frame: pieces opened with a frame of silence and one decoded in part, and did not join.
        whole("mp3 without Info frame", AlbumFormat::Mp3NoInfo, 12);
        // The splitter refuses the bit reservoir for a Xing frame without a LAME tag: pieces cut on frames, not
        // joining.
        whole("mp3 vbr, Xing frame without LAME tag", AlbumFormat::Mp3XingOnly, 3);
        // Mono MPEG-1 keeps its Info frame 15 bytes nearer the header than stereo does; MPEG-2 mono nearer still,
        // behind a side information of 9 bytes.
        whole("mp3 mono", AlbumFormat::Mp3Mono, 3);
        whole("mp3 MPEG-2 mono, 22.05 kHz", AlbumFormat::Mp3Mpeg2Mono, 3);

        const AlbumFormat cbr = AlbumFormat::Mp3Cbr;
        const QList<qint64> three{0, 75, 150};
        const QList<double> short4{4.0};
        QTest::newRow("start past the end")
            << cbr << short4 << QList<qint64>{0, 150, 375, 4500} << qint64(-1) << QByteArray()
            << QStringList{u"ready 0"_s, u"ready 1"_s,
                           u"bad 2: The track starts at 0:05, after the end of the audio (0:04)."_s,
                           u"bad 3: The track starts at 1:00, after the end of the audio (0:04)."_s, u"finished"_s};
        QTest::newRow("only start past the end, which the splitter refuses")
            << cbr << short4 << QList<qint64>{375} << qint64(-1) << QByteArray()
            << QStringList{u"bad 0: The track starts at 0:05, after the end of the audio (0:04)."_s, u"finished"_s};
        QTest::newRow("one piece made, then a failure; the half-made one goes")
            << cbr << short4 << three << qint64(-1)
            << QByteArray("REAL >log; head -c 999 3.mp3 >x; rm [23].mp3; mv x 2.mp3; head -n 6 log; echo ' error: no "
                          "luck'; exit 3")
            << QStringList{u"ready 0"_s, u"failed: The splitter failed with exit status 3: no luck."_s};
        const QString none = u"The splitter made no piece for this track."_s;
        QTest::newRow("quiet success without pieces")
            << cbr << short4 << three << qint64(-1) << QByteArray("exit 0")
            << QStringList{u"bad 0: "_s + none, u"bad 1: "_s + none, u"bad 2: "_s + none, u"finished"_s};

        // Behind a piece cut wrong, the next one is cut again too: the splitter carries the bit reservoir into it.
        const QString next = u"The piece before it was cut wrong"_s;
        // The splitter gave the piece of 1/75 s an Info frame of 4 frames and of the piece's true size, over 20 s of
        // audio: a copy of the album's start.
        QTest::newRow("header that lies")
            << cbr << QList<double>{60.0} << QList<qint64>{0, 1500, 1501, 1502} << qint64(-1) << QByteArray()
            << QStringList{u"ready 0"_s, u"ready 1"_s, u"bad 2: The piece came out"_s, u"bad 3: "_s + next,
                           u"finished"_s};
        // The middle 40 % of piece 2 overwritten with random bytes, its size kept.
        QTest::newRow("random bytes in a piece")
            << cbr << QList<double>{9.0} << QList<qint64>{0, 225, 450} << qint64(-1)
            << QByteArray("EACH_PIECE case $f in *2.mp3) s=$(stat -c %s \"$f\"); dd if=/dev/urandom of=\"$f\" "
                          "bs=$((s*4/10)) count=1 seek=$((s*3/10)) oflag=seek_bytes iflag=fullblock "
                          "conv=notrunc 2>/dev/null;; esac END_EACH")
            << QStringList{u"ready 0"_s, u"bad 1: The splitter's piece is damaged"_s, u"bad 2: "_s + next,
                           u"finished"_s};
        // An album of full size with zeros from 0:26.3 to 0:32.5, as an unfinished download leaves it: the splitter,
        // started on the sheet's times, is started over on times moved back by what the damage took, and the damage is
        // named for the track it touches.
        QTest::newRow("damaged album") << cbr << QList<double>{60.0} << QList<qint64>{0, 1500, 3000} << qint64(-1)
                                       << QByteArray()
                                       << QStringList{u"ready 0"_s, u"bad 1: The album is damaged from 0:26 to 0:33."_s,
                                                      u"ready 2"_s, u"finished"_s};
        // One track, of a joined album whose last track must reach past what its header says. Cut on frames instead,
        // the piece would be up to a frame off at either end: the run tells the piece bad, and leaves the retry to its
        // caller.
        QTest::newRow("-b piece short")
            << AlbumFormat::Mp3Vbr << QList<double>{1.0, 3.0} << QList<qint64>{120} << qint64(225)
            << QByteArray("REAL >log; case \" $* \" in *' -b '*) head -c 5000 1.mp3 >x; mv x 1.mp3;; esac")
            << QStringList{u"bad 0: The piece came out 0.22 s long instead of 1.40 s."_s, u"finished"_s};
    }

    void eachPieceIsTold()
    {
        QFETCH(AlbumFormat, format);
        QFETCH(QList<double>, album);
        QFETCH(QList<qint64>, starts);
        QFETCH(qint64, end);
        QFETCH(QByteArray, splitter);
        QFETCH(QStringList, events);
        const bool isOgg = format == AlbumFormat::Ogg;
        const int rate = format == AlbumFormat::Mp3Mpeg2Mono ? 22050 : test::sampleRate;

        QTemporaryDir dir(QDir::tempPath() + u"/It's \"$x\" `id` Grüße-XXXXXX"_s);
        const QString work = dir.filePath(u"work"_s);
        const auto made = album.size() > 1 ? joinedAlbum(dir.path(), format, album[0], album[1], u"-s"_s)
                                           : test::makeAlbum(dir.path(), format, album, u"-s"_s);
        QVERIFY(made && QDir(dir.path()).mkdir(u"work"_s));
        const auto whole = test::decodePcm(made->path, rate).value_or(QList<qint16>());
        QCOMPARE(measureAudio(made->path, isOgg ? AudioFormat::Ogg : AudioFormat::Mp3).value_or(AudioLength()).samples,
                 whole.size());
        if (QTest::currentDataTag() == "damaged album"_L1) {
            // 128 kb/s at 44.1 kHz: 417.96 bytes a frame of 1152 samples, behind the Info frame of as many.
            const auto from = qint64(417.96 * (1 + 26.3 * test::sampleRate / 1152)),
                       to = qint64(417.96 * (1 + 32.5 * test::sampleRate / 1152));
            QFile file(made->path);
            QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(from) && file.write(QByteArray(to - from, '\0')) > 0);
        }
        const QByteArray albumBytes = readFile(made->path);
        const test::SplitterOverride standIn(splitter.isEmpty() ? qEnvironmentVariable("VELVANE_MP3SPLT")
                                                                : test::standInSplitter(dir.path(), splitter));

        const auto restore = qScopeGuard([saved = QDir::currentPath()] { QDir::setCurrent(saved); });
        QVERIFY(QDir::setCurrent(dir.path()));
        QStringList told;
        {
            SplitterRun run({QFileInfo(made->path).fileName(), isOgg, starts,
                             end < 0 ? std::nullopt : std::optional(end), u"work"_s});
            told = eventsOf(run);
            QCOMPARE(run.next().kind, told.last() == u"finished"_s ? SplitterEvent::Finished : SplitterEvent::Failed);
        }
        QCOMPARE(told.size(), events.size());
        QStringList ready;
        QList<qint16> joinedPieces;
        for (qsizetype i = 0; i < told.size(); ++i) {
            QVERIFY2(told[i].startsWith(events[i]), qPrintable(told[i]));
            if (!told[i].startsWith(u"ready"_s))
                continue;
            const int piece = told[i].section(u' ', 1, 1).toInt();
            ready << told[i].section(u' ', 2);
            const auto pcm = test::decodePcm(QDir(work).filePath(ready.last()), rate).value_or(QList<qint16>());
            joinedPieces += pcm;
            const qint64 from = starts[piece] * rate / 75;
            const qint64 next = piece + 1 < starts.size() ? starts[piece + 1] : end;
            const qint64 to = next < 0 ? whole.size() : std::min<qint64>(whole.size(), next * rate / 75);
            // Where two encodes meet, the album decodes with the first one's padding inside; ffmpeg leaves the padding
            // in a piece shorter than a frame (mpg123 drops it). Only the other pieces are placed.
            if ((album.size() > 1 && from < album[0] * rate) || to - from < 1152)
                continue;
            const qint64 at = test::offsetIn(whole, pcm, from, 147);
            QVERIFY2(
                at >= 0 && qAbs(at + pcm.size() - to) <= 147,
                qPrintable(u"piece %1: %2 samples at %3, not %4"_s.arg(piece).arg(pcm.size()).arg(at).arg(to - from)));
        }
        if (ready.size() == starts.size() && starts[0] == 0 && end < 0)
            QCOMPARE(joinedPieces, whole);
        // Only the ready pieces stay, beside the log a stand-in keeps.
        QCOMPARE(entriesOf(work).filter(QRegularExpression(u"^(?!log$)"_s)), ready);
        QCOMPARE(readFile(made->path), albumBytes);
    }

    void oggPieceRebuilt_data()
    {
        QTest::addColumn<double>("from"); // seconds; the splitter cut the piece from 2 s to 4 s
        QTest::addColumn<double>("to");

        QTest::newRow("within the piece") << 2.3 << 3.1;
        QTest::newRow("both ends from the album") << 1.5 << 4.6;
    }

    // A piece rebuilt plays exactly the album's samples asked for, also where its own packets fall short.
    void oggPieceRebuilt()
    {
        QFETCH(double, from);
        QFETCH(double, to);

        QTemporaryDir dir;
        const auto album = test::makeMusicOgg(dir.path(), test::OggEncoder::Oggenc, {6.0});
        const auto whole = album ? test::decodeOgg(album->path) : std::nullopt;
        QVERIFY(whole);
        const QStringList cut{u"-q"_s,    u"-n"_s,     u"-o"_s,      u"@n"_s,     u"-d"_s,
                              dir.path(), album->path, u"0.02.00"_s, u"0.04.00"_s};
        QCOMPARE(test::runTool(qEnvironmentVariable("VELVANE_MP3SPLT"), cut).exitCode, 0);
        const QByteArray piece = readFile(dir.filePath(u"1.ogg"_s)), albumBytes = readFile(album->path);

        const OggVorbisAlbum index = indexOggVorbisFile(album->path);
        const auto place = placeOggPiece(piece, index, 2 * whole->rate);
        const qint64 first = qRound64(from * whole->rate), last = qRound64(to * whole->rate);
        const auto rebuilt = place ? rebuildOggPiece(piece, albumBytes, index, *place, first, last) : std::nullopt;
        QVERIFY(rebuilt);
        const QString path = dir.filePath(u"rebuilt.ogg"_s);
        QVERIFY(test::writeFile(path, *rebuilt));
        QCOMPARE(inspectOggVorbisFile(path).damagedAt, -1);
        const auto pcm = test::decodeOgg(path);
        QVERIFY(pcm);
        QCOMPARE(pcm->frames(), last - first);
        QCOMPARE(test::locate(*pcm, *whole, first, 0), std::optional<qint64>(first));
    }
};

QTEST_GUILESS_MAIN(TestSplitterRun)
#include "tst_splitterrun.moc"
