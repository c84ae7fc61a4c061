#include "components/splitterrunner.h"
#include "support/audiofixture.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <thread>

using namespace Qt::StringLiterals;
using namespace velvane;
using velvane::test::AlbumFormat;

Q_DECLARE_METATYPE(velvane::test::AlbumFormat)

namespace {

// The job's worker thread creates its QProcess itself and has no event loop; run the same way here.
SplitterResult runOnWorker(const SplitterJob &job)
{
    SplitterResult result;
    std::thread worker([&] { result = runSplitter(job); });
    worker.join();
    return result;
}

QString cueTime(int frames)
{
    return u"%1:%2:%3"_s.arg(frames / 4500, 2, 10, QChar(u'0'))
        .arg(frames / 75 % 60, 2, 10, QChar(u'0'))
        .arg(frames % 75, 2, 10, QChar(u'0'));
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

class ScopedSplitter
{
public:
    explicit ScopedSplitter(const QByteArray &program)
        : m_saved(qgetenv("VELVANE_MP3SPLT"))
    {
        qputenv("VELVANE_MP3SPLT", program);
    }
    ~ScopedSplitter() { qputenv("VELVANE_MP3SPLT", m_saved); }

private:
    QByteArray m_saved;
};

} // namespace

class TestSplitterRun : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void piecesMakeTheAlbum_data();
    void piecesMakeTheAlbum();
    void pathsReachTheSplitterUnchanged();
    void failuresAreReported_data();
    void failuresAreReported();
    void outcomeOfRetry_data();
    void outcomeOfRetry();
};

void TestSplitterRun::initTestCase()
{
    QVERIFY2(!qEnvironmentVariableIsEmpty("VELVANE_MP3SPLT"),
             "run through ctest, which points VELVANE_MP3SPLT at mp3splt");
    for (const QString &tool : {u"ffmpeg"_s, u"ffprobe"_s, u"lame"_s, u"oggenc"_s})
        QVERIFY2(!QStandardPaths::findExecutable(tool).isEmpty(), qPrintable(tool + u" is missing"_s));
}

void TestSplitterRun::piecesMakeTheAlbum_data()
{
    QTest::addColumn<AlbumFormat>("format");
    QTest::newRow("mp3 cbr") << AlbumFormat::Mp3Cbr;
    QTest::newRow("mp3 vbr") << AlbumFormat::Mp3Vbr;
    QTest::newRow("ogg") << AlbumFormat::Ogg;
}

void TestSplitterRun::piecesMakeTheAlbum()
{
    QFETCH(AlbumFormat, format);
    const bool isOgg = format == AlbumFormat::Ogg;

    // Starts in cue frames; 200 frames is 2.6667 s, which the splitter gets as 2.67.
    const QList<int> starts{0, 200, 405};
    const int albumFrames = 555;
    QList<double> durations;
    for (int i = 0; i < starts.size(); ++i)
        durations << ((i + 1 < starts.size() ? starts[i + 1] : albumFrames) - starts[i]) / 75.0;

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const auto album = test::makeAlbum(dir.path(), format, durations);
    QVERIFY(album);

    const QString extension = isOgg ? u"ogg"_s : u"mp3"_s;
    QStringList pieces;
    for (int i = 0; i < starts.size(); ++i) {
        SplitterJob job{isOgg, dir.path(), album->path, cueTime(starts[i]), std::nullopt};
        if (i + 1 < starts.size())
            job.endTime = cueTime(starts[i + 1]);
        const SplitterResult result = runOnWorker(job);
        QVERIFY2(result.ok, qPrintable(result.reason));
        QCOMPARE(result.piecePath, dir.filePath(u"out."_s + extension));
        pieces << dir.filePath(u"piece%1.%2"_s.arg(i).arg(extension));
        QVERIFY(QFile::rename(result.piecePath, pieces.back()));
    }

    QList<qint16> joined;
    for (int i = 0; i < pieces.size(); ++i) {
        const auto duration = test::durationSeconds(pieces[i]);
        QVERIFY(duration);
        // Ogg is cut to the sample at the hundredth it is given, so it may differ from the cue time by at most
        // the two roundings to hundredths; MP3 may end anywhere in a frame.
        const double tolerance = isOgg ? 0.01 : 1152.0 / test::sampleRate;
        QVERIFY2(qAbs(*duration - durations[i]) <= tolerance,
                 qPrintable(u"piece %1 lasts %2 s instead of %3 s"_s.arg(i + 1).arg(*duration).arg(durations[i])));

        const auto samples = test::decodePcm(pieces[i]);
        QVERIFY(samples);
        QCOMPARE(test::dominantTone(*samples, album->tones), album->tones[i]);
        joined += *samples;
    }

    if (!isOgg) {
        const auto whole = test::decodePcm(album->path);
        QVERIFY(whole);
        // Every sample of the album once, in order: no overlap, no gap, no click at a cut.
        QCOMPARE(joined.mid(0, whole->size()), *whole);
        // The last piece also carries the encoder's end padding, which the album's own header hides and which
        // lame keeps under two frames; anything shorter than the album would be audio lost.
        QVERIFY2(joined.size() >= whole->size() && joined.size() - whole->size() < 2 * 1152,
                 qPrintable(u"joined %1 samples, album %2"_s.arg(joined.size()).arg(whole->size())));
    }
}

void TestSplitterRun::pathsReachTheSplitterUnchanged()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.filePath(u"It's \"live\" $HOME `id` back\\slash; rm -rf ~ & Grüße Ωμέγα 東京"_s);
    QVERIFY(QDir().mkpath(folder));
    const auto album = test::makeAlbum(folder, AlbumFormat::Mp3Cbr, {1.0, 1.0}, u"$(touch pwned) \"a\" `b` \\c"_s);
    QVERIFY(album);

    for (int i = 0; i < 2; ++i) {
        SplitterJob job{false, folder, album->path, cueTime(i * 75), std::nullopt};
        if (i == 0)
            job.endTime = cueTime(75);
        const SplitterResult result = runOnWorker(job);
        QVERIFY2(result.ok, qPrintable(result.reason));
        const auto samples = test::decodePcm(result.piecePath);
        QVERIFY(samples);
        QCOMPARE(test::dominantTone(*samples, album->tones), album->tones[i]);
    }
    QVERIFY(!QFile::exists(u"pwned"_s));
    QVERIFY(!QFile::exists(folder + u"/pwned"_s));
}

void TestSplitterRun::failuresAreReported_data()
{
    QTest::addColumn<QString>("splitter"); // empty: the real one
    QTest::addColumn<QString>("audio");    // relative to the folder; "album.mp3" is a real 2 s album
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end"); // empty: the last track

    QTest::newRow("missing splitter") << u"/nonexistent/mp3splt"_s << u"album.mp3"_s << u"00:00:00"_s << QString();
    QTest::newRow("missing input") << QString() << u"gone.mp3"_s << u"00:00:00"_s << u"00:01:00"_s;
    QTest::newRow("input not mp3") << QString() << u"junk.mp3"_s << u"00:00:00"_s << u"00:01:00"_s;
    QTest::newRow("starts past the end") << QString() << u"album.mp3"_s << u"05:00:00"_s << QString();
    QTest::newRow("malformed start") << QString() << u"album.mp3"_s << u"1 07:31:05"_s << QString();
    QTest::newRow("ends before it starts") << QString() << u"album.mp3"_s << u"00:01:00"_s << u"00:00:50"_s;
    QTest::newRow("album named like the piece") << QString() << u"out.mp3"_s << u"00:00:00"_s << u"00:01:00"_s;
}

void TestSplitterRun::failuresAreReported()
{
    QFETCH(QString, splitter);
    QFETCH(QString, audio);
    QFETCH(QString, start);
    QFETCH(QString, end);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const auto album = test::makeAlbum(dir.path(), AlbumFormat::Mp3Cbr, {1.0, 1.0});
    QVERIFY(album);
    QByteArray junk(20000, '\0');
    for (qsizetype i = 0; i < junk.size(); ++i)
        junk[i] = char(i * 7919 % 251);
    QVERIFY(writeFile(dir.filePath(u"junk.mp3"_s), junk));
    if (audio == u"out.mp3"_s)
        QVERIFY(QFile::rename(album->path, dir.filePath(audio)));
    else // a piece left from an earlier track must not pass for this one's
        QVERIFY(writeFile(dir.filePath(u"out.mp3"_s), "stale piece"));
    const qint64 audioSize = QFileInfo(dir.filePath(audio)).size();

    std::optional<ScopedSplitter> scoped;
    if (!splitter.isEmpty())
        scoped.emplace(QFile::encodeName(dir.filePath(splitter)));
    SplitterJob job{false, dir.path(), dir.filePath(audio), start, std::nullopt};
    if (!end.isEmpty())
        job.endTime = end;
    const SplitterResult result = runOnWorker(job);
    QVERIFY(!result.ok);
    QVERIFY(!result.reason.isEmpty());
    QCOMPARE(QFileInfo(dir.filePath(audio)).size(), audioSize);
}

void TestSplitterRun::outcomeOfRetry_data()
{
    QTest::addColumn<QByteArray>("behaviour"); // shell code run by a stand-in splitter; $b is 1 with -b
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QStringList>("runs"); // "b" for a run with -b, "-" without

    const QByteArray piece = "printf 'audio' > \"$dest/out.mp3\"";
    QTest::newRow("-b works") << piece + "; exit 0" << true << QStringList{u"b"_s};
    QTest::newRow("-b fails, plain works")
        << "[ \"$b\" = 1 ] && exit 1; " + piece << true << QStringList{u"b"_s, u"-"_s};
    QTest::newRow("both fail") << QByteArray("exit 1") << false << QStringList{u"b"_s, u"-"_s};
    QTest::newRow("-b piece then fails, plain leaves none")
        << "[ \"$b\" = 1 ] && { " + piece + "; exit 2; }; exit 0" << false << QStringList{u"b"_s, u"-"_s};
    QTest::newRow("exit 0 without piece") << QByteArray("exit 0") << false << QStringList{u"b"_s, u"-"_s};
    QTest::newRow("empty piece") << QByteArray(": > \"$dest/out.mp3\"") << false << QStringList{u"b"_s, u"-"_s};
    QTest::newRow("crash") << piece + "; kill -SEGV $$" << false << QStringList{u"b"_s, u"-"_s};
}

void TestSplitterRun::outcomeOfRetry()
{
    QFETCH(QByteArray, behaviour);
    QFETCH(bool, ok);
    QFETCH(QStringList, runs);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString program = dir.filePath(u"splitter"_s);
    const QString log = dir.filePath(u"runs"_s);
    QVERIFY(writeFile(program, "#!/bin/sh\nb=0\nfor word; do\n  [ \"$word\" = -b ] && b=1\n"
                               "  [ \"$previous\" = -d ] && dest=$word\n  previous=$word\ndone\n"
                               "[ $b = 1 ] && echo b >> \"" +
                                   QFile::encodeName(log) + "\" || echo - >> \"" + QFile::encodeName(log) + "\"\n" +
                                   behaviour + "\n"));
    QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    QVERIFY(writeFile(dir.filePath(u"out.mp3"_s), "stale piece"));
    ScopedSplitter scoped(QFile::encodeName(program));
    const SplitterResult result =
        runOnWorker({false, dir.path(), dir.filePath(u"album.mp3"_s), u"00:00:00"_s, u"00:01:00"_s});
    QCOMPARE(result.ok, ok);
    QCOMPARE(result.reason.isEmpty(), ok);

    QFile runLog(log);
    QVERIFY(runLog.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(runLog.readAll()).split(u'\n', Qt::SkipEmptyParts), runs);
}

QTEST_GUILESS_MAIN(TestSplitterRun)
#include "tst_splitterrun.moc"
