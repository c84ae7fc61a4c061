#include "components/splitter/splitterrun.h"
#include "core/audio/audiolength.h"
#include "core/audio/oggpiece.h"
#include "support/audiofixture.h"
#include "support/files.h"
#include "support/splitters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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

// Every event until the run is over, as "ready 0 01.mp3", "inexact 0 01.mp3: reason", "bad 1: reason", "finished"
// or "failed: reason".
QStringList eventsOf(SplitterRun &run, const std::function<bool()> &stop = {})
{
    QStringList events;
    for (;;) {
        const SplitterEvent event = run.next(stop);
        switch (event.kind) {
        case SplitterEvent::PieceReady:
            events << u"ready %1 %2"_s.arg(event.piece).arg(QFileInfo(event.path).fileName());
            break;
        case SplitterEvent::PieceBad:
            events << u"bad %1: %2"_s.arg(event.piece).arg(event.reason);
            break;
        case SplitterEvent::PieceInexact:
            events << u"inexact %1 %2: %3"_s.arg(event.piece).arg(QFileInfo(event.path).fileName(), event.reason);
            break;
        case SplitterEvent::Finished:
            return events << u"finished"_s;
        case SplitterEvent::Failed:
            return events << u"failed: "_s + event.reason;
        }
    }
}

} // namespace

class TestSplitterRun : public QObject
{
    Q_OBJECT

private slots:
    void piecesMakeTheAlbum_data()
    {
        QTest::addColumn<AlbumFormat>("format");
        QTest::addColumn<int>("pieces");
        QTest::addColumn<bool>("joined"); // two encodes put end to end: the Info header covers the first only

        QTest::newRow("mp3 vbr, 12 pieces") << AlbumFormat::Mp3Vbr << 12 << false;
        QTest::newRow("mp3 cbr, 105 pieces") << AlbumFormat::Mp3Cbr << 105 << false;
        QTest::newRow("ogg, 12 pieces") << AlbumFormat::Ogg << 12 << false;
        QTest::newRow("joined mp3") << AlbumFormat::Mp3Cbr << 2 << true;
        // The splitter refuses the bit reservoir for ffmpeg's tag, and without it each piece lost 25 ms and began with
        // a frame decoded wrong.
        QTest::newRow("ffmpeg mp3 vbr, 12 pieces") << AlbumFormat::Mp3FfmpegVbr << 12 << false;
        // No Info frame: pieces opened with a frame of silence and one decoded in part, and did not join.
        QTest::newRow("mp3 without Info frame") << AlbumFormat::Mp3NoInfo << 3 << false;
        // The splitter refuses the bit reservoir for a Xing frame without a LAME tag: pieces cut on frames, not
        // joining.
        QTest::newRow("mp3 vbr, Xing frame without LAME tag") << AlbumFormat::Mp3XingOnly << 3 << false;
        // Mono MPEG-1 keeps its Info frame 15 bytes nearer the header than stereo does.
        QTest::newRow("mp3 mono") << AlbumFormat::Mp3Mono << 3 << false;
        // MPEG-2 mono nearer still, behind a side information of 9 bytes.
        QTest::newRow("mp3 MPEG-2 mono, 22.05 kHz") << AlbumFormat::Mp3Mpeg2Mono << 3 << false;
    }

    void piecesMakeTheAlbum()
    {
        QFETCH(AlbumFormat, format);
        QFETCH(int, pieces);
        QFETCH(bool, joined);
        const bool isOgg = format == AlbumFormat::Ogg;
        const int rate = format == AlbumFormat::Mp3Mpeg2Mono ? 22050 : test::sampleRate;

        // Cue frames at uneven steps, none on a hundredth; the album ends off any frame or hundredth.
        QList<qint64> starts;
        for (int i = 0; i < pieces; ++i)
            starts << i * (pieces > 20 ? 17 : 203) + (i % 3);
        const double seconds = (starts.last() + 150) / 75.0 + 0.01234;
        QTemporaryDir dir(QDir::tempPath() + u"/It's \"$x\" `id` Grüße-XXXXXX"_s);
        QVERIFY(QDir(dir.path()).mkdir(u"work"_s));
        // The album is handed over by a relative name that looks like an option.
        const auto album = joined ? joinedAlbum(dir.path(), format, seconds / 3, seconds * 2 / 3, u"-s"_s)
                                  : test::makeAlbum(dir.path(), format, {seconds}, u"-s"_s);
        QVERIFY(album);
        const QByteArray albumBytes = readFile(album->path);
        const auto whole = test::decodePcm(album->path, rate).value_or(QList<qint16>());
        QCOMPARE(measureAudio(album->path, isOgg ? AudioFormat::Ogg : AudioFormat::Mp3).value_or(AudioLength()).samples,
                 whole.size());

        const QString saved = QDir::currentPath();
        const auto restore = qScopeGuard([&] { QDir::setCurrent(saved); });
        QVERIFY(QDir::setCurrent(dir.path()));
        SplitterRun run({QFileInfo(album->path).fileName(), isOgg, starts, std::nullopt, u"work"_s});
        const QStringList events = eventsOf(run);
        QDir::setCurrent(saved);

        // Pieces come in order under the splitter's zero-filled numbers, all of them ready.
        QStringList expected, names;
        const int width = int(QString::number(pieces).size());
        for (int i = 0; i < pieces; ++i) {
            names << u"%1.%2"_s.arg(i + 1, width, 10, QChar(u'0')).arg(isOgg ? u"ogg"_s : u"mp3"_s);
            expected << u"ready %1 %2"_s.arg(i).arg(names.last());
        }
        QCOMPARE(events, expected << u"finished"_s);
        QCOMPARE(entriesOf(dir.filePath(u"work"_s)), names);

        // Every cut within 3.3 ms of its cue time, and the pieces joined are the album, sample for sample, to its end.
        QList<qint16> pcm;
        for (int i = 0; i < pieces; ++i) {
            if (!joined) {
                const double cut = pcm.size() / double(rate);
                QVERIFY2(qAbs(cut - starts[i] / 75.0) <= 0.0033, qPrintable(u"cut %1 at %2 s"_s.arg(i).arg(cut)));
            }
            pcm += test::decodePcm(dir.filePath(u"work/"_s + names[i]), rate).value_or(QList<qint16>());
        }
        QCOMPARE(pcm.size(), whole.size());
        QVERIFY(pcm == whole);
        QCOMPARE(readFile(album->path), albumBytes);
    }

    void eachPieceIsTold_data()
    {
        QTest::addColumn<QByteArray>("splitter"); // the stand-in's shell code
        QTest::addColumn<QList<double>>("album"); // seconds; two: encodes put end to end, the header covering the first
        QTest::addColumn<QList<qint64>>("starts");
        QTest::addColumn<qint64>("end");         // cue frames; -1: to the end
        QTest::addColumn<QStringList>("events"); // how each begins

        const QList<qint64> three{0, 75, 150};
        const QList<double> short4{4.0};
        QTest::newRow("start past the end")
            << QByteArray("exec REAL") << short4 << QList<qint64>{0, 150, 375, 4500} << qint64(-1)
            << QStringList{u"ready 0 1.mp3"_s, u"ready 1 2.mp3"_s,
                           u"bad 2: The track starts at 0:05, after the end of the audio (0:04)."_s,
                           u"bad 3: The track starts at 1:00, after the end of the audio (0:04)."_s, u"finished"_s};
        QTest::newRow("only start past the end, which the splitter refuses")
            << QByteArray("exec REAL") << short4 << QList<qint64>{375} << qint64(-1)
            << QStringList{u"bad 0: The track starts at 0:05, after the end of the audio (0:04)."_s, u"finished"_s};
        QTest::newRow("one piece made, then a failure; the half-made one goes")
            << QByteArray("REAL >log; head -c 999 3.mp3 >x; rm [23].mp3; mv x 2.mp3; head -n 6 log; echo ' error: no "
                          "luck'; exit 3")
            << short4 << three << qint64(-1)
            << QStringList{u"ready 0 1.mp3"_s, u"failed: The splitter failed with exit status 3: no luck."_s};
        const QString none = u"The splitter made no piece for this track."_s;
        QTest::newRow("quiet success without pieces")
            << QByteArray("exit 0") << short4 << three << qint64(-1)
            << QStringList{u"bad 0: "_s + none, u"bad 1: "_s + none, u"bad 2: "_s + none, u"finished"_s};

        // Behind a piece cut wrong, the next one is cut again too: the splitter carries the bit reservoir into it.
        const QString next = u"The piece before it was cut wrong"_s;
        // The splitter gave the piece of 1/75 s an Info frame of 4 frames and of the piece's true size, over 20 s of
        // audio: a copy of the album's start.
        QTest::newRow("header that lies")
            << QByteArray("exec REAL") << QList<double>{60.0} << QList<qint64>{0, 1500, 1501, 1502} << qint64(-1)
            << QStringList{u"ready 0 1.mp3"_s, u"ready 1 2.mp3"_s, u"bad 2: The piece came out"_s, u"bad 3: "_s + next,
                           u"finished"_s};
        // The middle 40 % of piece 2 overwritten, its size kept.
        const QByteArray overwrite("EACH_PIECE case $f in *2.mp3) s=$(stat -c %s \"$f\"); dd if=SOURCE of=\"$f\" "
                                   "bs=$((s*4/10)) count=1 seek=$((s*3/10)) oflag=seek_bytes iflag=fullblock "
                                   "conv=notrunc 2>/dev/null;; esac END_EACH");
        const QStringList damaged{u"ready 0 1.mp3"_s, u"bad 1: The splitter's piece is damaged"_s, u"bad 2: "_s + next,
                                  u"finished"_s};
        QTest::newRow("random bytes in a piece")
            << QByteArray(overwrite).replace("SOURCE", "/dev/urandom") << QList<double>{9.0}
            << QList<qint64>{0, 225, 450} << qint64(-1) << damaged;
        // One track, of a joined album whose last track must reach past what its header says. Cut on frames instead,
        // the piece would be up to a frame off at either end: the run fails, or tells the piece bad, and leaves the
        // retry to its caller.
        const QList<double> joined{1.0, 3.0};
        QTest::newRow("last track, joined album") << QByteArray("exec REAL") << joined << QList<qint64>{120}
                                                  << qint64(-1) << QStringList{u"ready 0 1.mp3"_s, u"finished"_s};
        QTest::newRow("-b piece short")
            << QByteArray("REAL >log; case \" $* \" in *' -b '*) head -c 5000 1.mp3 >x; mv x 1.mp3;; esac") << joined
            << QList<qint64>{120} << qint64(225)
            << QStringList{u"bad 0: The piece came out 0.22 s long instead of 1.40 s."_s, u"finished"_s};
    }

    void eachPieceIsTold()
    {
        QFETCH(QByteArray, splitter);
        QFETCH(QList<double>, album);
        QFETCH(QList<qint64>, starts);
        QFETCH(qint64, end);
        QFETCH(QStringList, events);

        QTemporaryDir dir;
        const QString work = dir.filePath(u"work"_s);
        const auto made = album.size() > 1
                              ? joinedAlbum(dir.path(), AlbumFormat::Mp3Vbr, album[0], album[1], u"album"_s)
                              : test::makeAlbum(dir.path(), AlbumFormat::Mp3Cbr, album);
        QVERIFY(made && QDir(dir.path()).mkdir(u"work"_s));
        const QByteArray albumBytes = readFile(made->path);
        const auto whole = test::decodePcm(made->path).value_or(QList<qint16>());
        const test::SplitterOverride standIn(test::standInSplitter(dir.path(), splitter));
        QStringList told;
        {
            SplitterRun run({made->path, false, starts, end < 0 ? std::nullopt : std::optional(end), work});
            told = eventsOf(run);
            QCOMPARE(run.next().kind, told.last() == u"finished"_s ? SplitterEvent::Finished : SplitterEvent::Failed);
        }
        QCOMPARE(told.size(), events.size());
        QStringList ready;
        for (qsizetype i = 0; i < told.size(); ++i) {
            QVERIFY2(told[i].startsWith(events[i]), qPrintable(told[i]));
            if (!told[i].startsWith(u"ready"_s))
                continue;
            // Each piece told ready is its track, to 3.3 ms (147 samples) at either end.
            const int piece = told[i].section(u' ', 1, 1).toInt();
            ready << told[i].section(u' ', 2);
            const qint64 from = starts[piece] * test::sampleRate / 75;
            const qint64 next = piece + 1 < starts.size() ? starts[piece + 1] : end;
            const qint64 to = next < 0 ? whole.size() : std::min<qint64>(whole.size(), next * test::sampleRate / 75);
            // ffmpeg leaves the padding in a piece shorter than a frame (mpg123 drops it); only longer ones are
            // compared.
            if (to - from < 1152)
                continue;
            const auto pcm = test::decodePcm(QDir(work).filePath(ready.last())).value_or(QList<qint16>());
            const qint64 at = test::offsetIn(whole, pcm, from, 147);
            QVERIFY2(
                at >= 0 && qAbs(at + pcm.size() - to) <= 147,
                qPrintable(u"piece %1: %2 samples at %3, not %4"_s.arg(piece).arg(pcm.size()).arg(at).arg(to - from)));
        }
        // Only the ready pieces stay, beside what the stand-in left under other names; the album is untouched.
        QStringList left = entriesOf(work);
        left.removeAll(u"log"_s);
        QCOMPARE(left, ready);
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
        QVERIFY(album);
        const auto whole = test::decodeOgg(album->path);
        QVERIFY(whole);
        const test::ToolRun cut = test::runTool(
            qEnvironmentVariable("VELVANE_MP3SPLT"),
            {u"-q"_s, u"-n"_s, u"-o"_s, u"@n"_s, u"-d"_s, dir.path(), album->path, u"0.02.00"_s, u"0.04.00"_s});
        QCOMPARE(cut.exitCode, 0);
        const QByteArray piece = readFile(dir.filePath(u"1.ogg"_s)), albumBytes = readFile(album->path);

        const OggVorbisAlbum index = indexOggVorbisFile(album->path);
        const auto place = placeOggPiece(piece, index, 2 * whole->rate);
        QVERIFY(place);
        const qint64 first = qRound64(from * whole->rate), last = qRound64(to * whole->rate);
        const auto rebuilt = rebuildOggPiece(piece, albumBytes, index, *place, first, last);
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
