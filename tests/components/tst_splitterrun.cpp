#include "components/splitterrunner.h"
#include "support/audiofixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace velvane;
using velvane::test::AlbumFormat;

class TestSplitterRun : public QObject
{
    Q_OBJECT

private slots:
    void arguments_data();
    void arguments();
    void piecesMakeTheAlbum_data();
    void piecesMakeTheAlbum();
    void outcomes_data();
    void outcomes();
};

void TestSplitterRun::arguments_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("converted"); // null: refused

    QTest::newRow("rounds up") << u"03:25:50"_s << u"03.25.67"_s;
    QTest::newRow("rounds down, two digits") << u"00:00:01"_s << u"00.00.01"_s;
    QTest::newRow("last frame, long album") << u"123:04:74"_s << u"123.04.99"_s;
    for (const QString &refused : {u""_s, u"03:25"_s, u"03:25:50:00"_s, u"03:60:00"_s, u"03:25:75"_s, u"-1:00:00"_s,
                                   u"1 07:31:05"_s, u"03.25.50"_s, u"\u0660\u0663:25:50"_s})
        QTest::newRow(qPrintable(u"refuses '"_s + refused + u"'"_s)) << refused << QString();
}

void TestSplitterRun::arguments()
{
    QFETCH(QString, start);
    QFETCH(QString, converted);
    const SplitterJob job{false, u"/Music/Album"_s, u"/Music/Album/album.mp3"_s, start, u"07:01:00"_s};
    const QStringList words{u"-f"_s, u"-b"_s,         u"-n"_s,       u"-q"_s,   u"-o"_s,      u"out"_s,
                            u"-d"_s, job.destination, job.audioFile, converted, u"07.01.00"_s};
    QCOMPARE(splitterArguments(job, true).value_or(QStringList()), converted.isNull() ? QStringList() : words);
}

void TestSplitterRun::piecesMakeTheAlbum_data()
{
    QTest::addColumn<int>("format");
    QTest::newRow("mp3 cbr") << int(AlbumFormat::Mp3Cbr);
    QTest::newRow("mp3 vbr") << int(AlbumFormat::Mp3Vbr);
    QTest::newRow("ogg") << int(AlbumFormat::Ogg);
}

void TestSplitterRun::piecesMakeTheAlbum()
{
    QFETCH(int, format);
    const bool isOgg = format == int(AlbumFormat::Ogg);
    // Cue frames 200 and 405 are 2.6667 s and 5.4 s; the splitter gets 2.67 and 05.40.
    const QList<std::optional<QString>> cuts{u"00:00:00"_s, u"00:02:50"_s, u"00:05:30"_s, std::nullopt};
    const QList<double> durations{200 / 75.0, 205 / 75.0, 2.0};
    // The names reach the splitter as they are, never through a shell.
    QTemporaryDir dir(QDir::tempPath() +
                      u"/It's \"live\" $HOME `id` back\\slash; rm -rf ~ & Grüße Ωμέγα 東京-XXXXXX"_s);
    const auto album = test::makeAlbum(dir.path(), AlbumFormat(format), durations, u"$(touch pwned) \"a\" `b` \\c"_s);
    QVERIFY(album);

    QList<qint16> joined;
    for (int i = 0; i < durations.size(); ++i) {
        const SplitterResult result = runSplitter({isOgg, dir.path(), album->path, *cuts[i], cuts[i + 1]});
        QVERIFY2(result.ok, qPrintable(result.reason));
        // Ogg is cut at the sample, so only the two roundings to hundredths show; MP3 may end anywhere in a frame.
        const double duration = test::durationSeconds(result.piecePath).value_or(-1);
        QCOMPARE_LE(qAbs(duration - durations[i]), isOgg ? 0.01 : 1152.0 / test::sampleRate);
        const auto samples = test::decodePcm(result.piecePath).value_or(QList<qint16>());
        QCOMPARE(test::dominantTone(samples, album->tones), album->tones[i]);
        joined += samples;
    }
    QVERIFY(!QFile::exists(u"pwned"_s) && !QFile::exists(dir.filePath(u"pwned"_s)));
    if (isOgg)
        return;
    // Every sample of the album once, in order; the last piece also carries lame's end padding, under two frames.
    const auto whole = test::decodePcm(album->path).value_or(QList<qint16>());
    QCOMPARE(joined.mid(0, whole.size()), whole);
    QCOMPARE_LT(joined.size() - whole.size(), 2 * 1152);
}

void TestSplitterRun::outcomes_data()
{
    QTest::addColumn<QByteArray>("splitter"); // shell code of a stand-in splitter; empty: the real one
    QTest::addColumn<QString>("audio");       // "album.mp3" is a real 2 s album
    QTest::addColumn<bool>("ok");

    QTest::newRow("missing splitter") << QByteArray("missing") << u"album.mp3"_s << false;
    QTest::newRow("unreadable input") << QByteArray() << u"gone.mp3"_s << false;
    QTest::newRow("exits 0 without a piece") << QByteArray("exit 0") << u"album.mp3"_s << false;
    QTest::newRow("-b fails, plain works")
        << QByteArray("[ $2 = -b ] && exit 1; echo >\"$7/out.mp3\"") << u"album.mp3"_s << true;
    QTest::newRow("album named like the piece") << QByteArray() << u"out.mp3"_s << false;
}

void TestSplitterRun::outcomes()
{
    QFETCH(QByteArray, splitter);
    QFETCH(QString, audio);
    QFETCH(bool, ok);

    QTemporaryDir dir;
    const auto album = test::makeAlbum(dir.path(), AlbumFormat::Mp3Cbr, {1.0, 1.0});
    QVERIFY(album);
    // A piece left from an earlier track must not pass for this one's, nor the album be lost for it.
    QVERIFY(audio == u"out.mp3"_s ? QFile::rename(album->path, dir.filePath(audio))
                                  : QFile::copy(album->path, dir.filePath(u"out.mp3"_s)));
    const qint64 audioSize = QFileInfo(dir.filePath(audio)).size();

    QFile program(dir.filePath(u"splitter"_s));
    QVERIFY(splitter.isEmpty() || splitter == "missing" ||
            (program.open(QIODevice::WriteOnly) && program.write("#!/bin/sh\n" + splitter) > 0 &&
             program.setPermissions(QFile::ReadOwner | QFile::ExeOwner)));
    program.close();
    const QByteArray saved = qgetenv("VELVANE_MP3SPLT");
    const auto restore = qScopeGuard([&] { qputenv("VELVANE_MP3SPLT", saved); });
    qputenv("VELVANE_MP3SPLT", splitter.isEmpty() ? saved : QFile::encodeName(program.fileName()));
    const SplitterResult result = runSplitter({false, dir.path(), dir.filePath(audio), u"00:00:00"_s, u"00:01:00"_s});
    QCOMPARE(result.ok, ok);
    QCOMPARE(result.reason.isEmpty(), ok);
    QCOMPARE(QFileInfo(dir.filePath(audio)).size(), audioSize);
}

QTEST_GUILESS_MAIN(TestSplitterRun)
#include "tst_splitterrun.moc"
