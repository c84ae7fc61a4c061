#include "support/files.h"
#include "support/flacalbum.h"
#include "support/splitters.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtEndian>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace velvane;
using namespace velvane::test;

namespace {

enum class WavLayout
{
    AsDecoded,    // as flac writes it: a 16-byte format chunk, or an extensible one beyond 16 bits
    ChunksBefore, // an odd-sized chunk (with its pad byte) and a LIST chunk between the format and the audio
    UnstatedSize, // the audio chunk's size left at 0xFFFFFFFF, as a streaming ripper leaves it
};

QByteArray wavOf(const QString &flac, WavLayout layout = WavLayout::AsDecoded)
{
    QByteArray wav = runTool(u"flac"_s, {u"-s"_s, u"-d"_s, u"-c"_s, flac}).out;
    const qsizetype data = wav.indexOf("data");
    if (layout == WavLayout::UnstatedSize)
        wav.replace(data + 4, 4, QByteArray(4, '\xff'));
    else if (layout == WavLayout::ChunksBefore)
        wav.insert(data, QByteArray("junk\3\0\0\0odd\0LIST\4\0\0\0INFO", 24));
    qToLittleEndian(quint32(wav.size() - 8), wav.data() + 4);
    return wav;
}

// Three tracks, the third with a pregap, the first starting at first.
QString sheetFor(const QString &audio, const QString &first = u"00:00:00"_s,
                 const QStringList &titles = {u"One"_s, u"Two"_s, u"Three"_s})
{
    return u"PERFORMER \"Band\"\nFILE \"%1\" WAVE\n  TRACK 01 AUDIO\n    TITLE \"%3\"\n    INDEX 01 %2\n"
           u"  TRACK 02 AUDIO\n    TITLE \"%4\"\n    INDEX 01 00:03:37\n  TRACK 03 AUDIO\n    TITLE \"%5\"\n"
           u"    INDEX 00 00:06:00\n    INDEX 01 00:06:50\n"_s.arg(audio, first, titles[0], titles[1], titles[2]);
}

} // namespace

class LosslessJobTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_flac, m_flac24;  // 9 s, 44.1 kHz stereo, 16 bit; 5 s and a sample, 48 kHz mono, 24 bit
    QByteArray m_pcm, m_pcm24; // their samples

    // A copy of the album in folder under name, as FLAC or as a plain WAV file.
    QString place(const QString &folder, const QString &name) const
    {
        const QString path = QDir(folder).filePath(name);
        if (name.endsWith(u".flac"_s))
            QFile::copy(m_flac, path);
        else
            writeFile(path, wavOf(m_flac));
        return path;
    }

private slots:
    void initTestCase()
    {
        const auto stereo = makeFlacAlbum(m_dir.path(), {FlacEncoder::Flac5, 44100, 16, 2, 9 * 44100}, u"stereo"_s);
        const auto mono = makeFlacAlbum(m_dir.path(), {FlacEncoder::Flac8, 48000, 24, 1, 5 * 48000 + 1}, u"mono"_s);
        QVERIFY(stereo && mono);
        m_flac = stereo->path;
        m_pcm = decodeByFlac(m_flac);
        m_flac24 = mono->path;
        m_pcm24 = decodeByFlac(m_flac24);
    }

    // Each piece holds exactly its samples of the album, in every layout a ripper writes, and its sizes are right:
    // the RIFF size is the file's less 8 and an odd audio size gets its pad byte.
    void wavPiecesAreTheAlbumsSamples_data()
    {
        QTest::addColumn<WavLayout>("layout");
        QTest::addColumn<bool>("deep"); // 24-bit mono rather than 16-bit stereo
        QTest::addColumn<bool>("asFlac");
        QTest::newRow("extensible 24-bit mono, odd sizes") << WavLayout::AsDecoded << true << false;
        QTest::newRow("odd chunk and LIST before the audio") << WavLayout::ChunksBefore << false << false;
        QTest::newRow("audio size not stated") << WavLayout::UnstatedSize << true << false;
        QTest::newRow("as FLAC, 16-bit") << WavLayout::ChunksBefore << false << true;
        QTest::newRow("as FLAC, 24-bit") << WavLayout::AsDecoded << true << true;
    }
    void wavPiecesAreTheAlbumsSamples()
    {
        QFETCH(WavLayout, layout);
        QFETCH(bool, deep);
        QFETCH(bool, asFlac);
        const int rate = deep ? 48000 : 44100, bits = deep ? 24 : 16, align = deep ? 3 : 4;
        const QByteArray &pcm = deep ? m_pcm24 : m_pcm;
        QTemporaryDir dir;
        const QString album = dir.filePath(u"album.wav"_s);
        writeFile(album, wavOf(deep ? m_flac24 : m_flac, layout));
        const QList<qint64> starts{0, 151, 226, 301};
        const LosslessRun cut = cutAlbum(album, starts, dir.path(), asFlac);

        for (qsizetype i = 0; i < starts.size(); ++i) {
            QVERIFY2(cut.results[i] && cut.results[i]->ok, qPrintable(cut.paths[i]));
            const qint64 first = starts[i] * rate / 75 * align;
            const qint64 end = i + 1 < starts.size() ? starts[i + 1] * rate / 75 * align : pcm.size();
            const QByteArray expected = pcm.mid(first, end - first);
            QCOMPARE(asFlac ? decodeByFlac(cut.paths[i]) : decodeByFfmpeg(cut.paths[i], bits), expected);
            const QByteArray piece = readFile(cut.paths[i]);
            if (asFlac) {
                QVERIFY(flacTestPasses(cut.paths[i]));
                continue;
            }
            QCOMPARE(qFromLittleEndian<quint32>(piece.constData() + 4), quint32(piece.size() - 8));
            const qsizetype data = piece.indexOf("data");
            QCOMPARE(qFromLittleEndian<quint32>(piece.constData() + data + 4), quint32(expected.size()));
            QCOMPARE(piece.size(), data + 8 + expected.size() + expected.size() % 2);
        }
    }

    // A piece that cannot be made leaves nothing at its path and nothing of anybody else's is touched; the others are
    // made all the same.
    void wavPiecesThatCannotBeMade_data()
    {
        QTest::addColumn<QByteArray>("album"); // empty: the usual album
        QTest::addColumn<QList<qint64>>("starts");
        QTest::addColumn<QString>("made");   // per piece: + made, - not, x not and its path held a file before
        QTest::addColumn<QString>("reason"); // of the first piece not made
        QTest::newRow("a file in the way")
            << QByteArray() << QList<qint64>{0, 300} << u"+x"_s << u"The piece could not be made"_s;
        QTest::newRow("a track past the end")
            << QByteArray() << QList<qint64>{0, 300, 700} << u"++-"_s << u"after the end"_s;
        QTest::newRow("not a WAV file") << QByteArray("RIFF\4\0\0\0AVI ") << QList<qint64>{0, 300} << u"--"_s
                                        << u"not a RIFF/WAVE file"_s;
        const QByteArray wav = wavOf(m_flac);
        QTest::newRow("8-bit audio") << QByteArray(wav).replace(34, 2, QByteArray("\x08\0", 2)) << QList<qint64>{0, 30}
                                     << u"--"_s << u"8-bit"_s;
        // A download cut short: its data chunk still states the whole album.
        const qint64 audioStart = wav.indexOf("data") + 8, byteRate = qFromLittleEndian<quint32>(wav.constData() + 28);
        QTest::newRow("cut off before its stated size")
            << wav.first(audioStart + 3 * byteRate) << QList<qint64>{0, 75, 300} << u"++-"_s << u"after the end"_s;
        QTest::newRow("floating point") << QByteArray(wav).replace(20, 2, QByteArray("\3\0", 2)) << QList<qint64>{0, 30}
                                        << u"--"_s << u"integer PCM"_s;
    }
    void wavPiecesThatCannotBeMade()
    {
        QFETCH(QByteArray, album);
        QFETCH(QList<qint64>, starts);
        QFETCH(QString, made);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"album.wav"_s);
        writeFile(path, album.isEmpty() ? wavOf(m_flac) : album);
        if (const qsizetype taken = made.indexOf(u'x'); taken >= 0)
            writeFile(dir.filePath(u"%1.wav"_s.arg(taken + 1)), "mine");
        const LosslessRun cut = cutAlbum(path, starts, dir.path());
        for (qsizetype i = 0; i < starts.size(); ++i) {
            QVERIFY(cut.results[i]);
            QCOMPARE(cut.results[i]->ok, made[i] == u'+');
            QCOMPARE(readFile(cut.paths[i]).isEmpty(), made[i] == u'-');
            if (made[i] == u'x')
                QCOMPARE(readFile(cut.paths[i]), "mine");
        }
        const qsizetype failed = made.indexOf(u'+') == 0 ? made.lastIndexOf(u'+') + 1 : 0;
        QVERIFY2(cut.results[failed]->reason.contains(reason), qPrintable(cut.results[failed]->reason));
    }

    // A stop leaves no piece half written and reports nothing more.
    void aStoppedWavCutLeavesNoHalfPiece()
    {
        for (const bool asFlac : {false, true}) {
            QTemporaryDir dir;
            int polls = 0;
            // Stops once the first piece has been started, whatever the cutter's pace of asking.
            const LosslessRun cut =
                cutAlbum(place(dir.path(), u"album.wav"_s), {0, 300}, dir.path(), asFlac, [&] { return ++polls > 1; });
            QVERIFY(!cut.results[1]);
            QCOMPARE(entriesOf(dir.path()).size(), cut.results[0] ? 2 : 1);
        }
    }

    // velvane-split cuts FLAC and WAV albums without the splitter: the pregap joins track 1, the names are the
    // usual ones with the album's or the chosen extension, a name taken gets " (2)" and the file there is kept,
    // and the pieces together are the album, sample for sample.
    void albumsCutByTheCommandLine_data()
    {
        QTest::addColumn<QStringList>("files");  // the sheet's FILE names, one sheet of tracks each
        QTest::addColumn<QString>("options");    // |-separated
        QTest::addColumn<QStringList>("pieces"); // in the order of the album
        QTest::addColumn<QString>("taken");      // a file there before; empty for none
        QTest::newRow("WAV, a name taken")
            << QStringList{u"album.wav"_s} << QString()
            << QStringList{u"Band - One.wav"_s, u"Band - Two (2).wav"_s, u"Band - Three.wav"_s} << u"Band - Two.wav"_s;
        QTest::newRow("WAV saved as FLAC, numbered")
            << QStringList{u"album.wav"_s} << u"--flac|--numbered"_s
            << QStringList{u"01 Band - One.flac"_s, u"02 Band - Two.flac"_s, u"03 Band - Three.flac"_s} << QString();
        QTest::newRow("a WAV side and a FLAC side")
            << QStringList{u"side a.wav"_s, u"side b.flac"_s} << QString()
            << QStringList{u"Band - One.wav"_s,  u"Band - Two.wav"_s,  u"Band - Three.wav"_s,
                           u"Band - One.flac"_s, u"Band - Two.flac"_s, u"Band - Three.flac"_s}
            << QString();
    }
    void albumsCutByTheCommandLine()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, options);
        QFETCH(QStringList, pieces);
        QFETCH(QString, taken);
        QTemporaryDir dir;
        const QDir out(dir.filePath(u"out"_s));
        QDir().mkdir(out.path());
        QString sheet;
        for (const QString &file : files)
            sheet += sheetFor(place(dir.path(), file).section(u'/', -1), u"00:01:00"_s);
        writeFile(dir.filePath(u"album.cue"_s), sheet.toUtf8());
        QStringList names = pieces;
        if (!taken.isEmpty()) {
            writeFile(out.filePath(taken), "mine");
            names << taken;
        }
        names.sort();

        const QStringList arguments = QStringList{dir.filePath(u"album.cue"_s), u"--dest"_s, out.path()} +
                                      options.split(u'|', Qt::SkipEmptyParts);
        const ToolRun run = runSplit(arguments, {}, u"/nonexistent/mp3splt"_s);
        QVERIFY2(run.exitCode == 0, run.err.constData());
        QCOMPARE(entriesOf(out.path()), names);
        if (!taken.isEmpty())
            QCOMPARE(readFile(out.filePath(taken)), "mine");
        for (qsizetype side = 0; side < files.size(); ++side) {
            QByteArray joined;
            for (const QString &piece : pieces.mid(side * 3, 3)) {
                QVERIFY(!piece.endsWith(u".flac"_s) || flacTestPasses(out.filePath(piece)));
                joined += decodeByFfmpeg(out.filePath(piece), 16);
            }
            QVERIFY(joined == m_pcm);
        }
    }

    // Formats that are known but not cut are refused by name before anything is written, from the sheet or --audio;
    // so is a FLAC image without a sheet, cut or listed.
    void refusedBeforeAnythingIsWritten_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("how"); // the sheet names the file, --audio does, or the image is given alone
        QTest::addColumn<QString>("named");
        QTest::newRow("APE") << u"album.ape"_s << u"sheet"_s << u"APE"_s;
        QTest::newRow("Opus, by --audio") << u"album.opus"_s << u"--audio"_s << u"Opus"_s;
        QTest::newRow("FLAC without a sheet") << u"bare.flac"_s << QString() << u"carries no cue sheet"_s;
        QTest::newRow("FLAC without a sheet, listed") << u"bare.flac"_s << u"--tracks"_s << u"carries no cue sheet"_s;
    }
    void refusedBeforeAnythingIsWritten()
    {
        QFETCH(QString, file);
        QFETCH(QString, how);
        QFETCH(QString, named);
        QTemporaryDir dir;
        const QString path = dir.filePath(file);
        if (!file.endsWith(u".flac"_s) || !QFile::copy(m_flac, path))
            writeFile(path, "not cut here");
        writeFile(dir.filePath(u"album.cue"_s), sheetFor(how == u"sheet"_s ? file : u"album.mp3"_s).toUtf8());
        const auto before = folderHashes(dir.path());
        QStringList arguments{how.isEmpty() ? path : dir.filePath(u"album.cue"_s)};
        if (how == u"--audio"_s)
            arguments << how << path;
        else if (how == u"--tracks"_s)
            arguments = QStringList{how, path};
        const ToolRun run = runSplit(arguments, {}, u"/nonexistent/mp3splt"_s);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(named.toUtf8()) && run.err.contains(file.toUtf8()), run.err.constData());
        QCOMPARE(folderHashes(dir.path()), before);
    }

    // A FLAC image's own sheet is read from its CUESHEET tag or its CUESHEET block, unless a .cue of its name lies
    // beside it; --tracks shows what was read, and the image cuts by it.
    void sheetsInsideFlacImages_data()
    {
        QTest::addColumn<QString>("inside"); // how metaflac stores it
        QTest::addColumn<QString>("beside"); // the name of a .cue beside it; empty for none
        QTest::addColumn<QStringList>("titles");
        const QStringList besideTitles{u"Uno"_s, u"Dos"_s, u"Tres"_s};
        QTest::newRow("tag, written for the WAV it was ripped to")
            << u"--set-tag-from-file=CUESHEET="_s << QString() << QStringList{u"One"_s, u"Two"_s, u"Three"_s};
        QTest::newRow("block") << u"--import-cuesheet-from="_s << QString()
                               << QStringList{u"Track 01"_s, u"Track 02"_s, u"Track 03"_s};
        QTest::newRow("a sheet beside wins") << u"--set-tag-from-file=CUESHEET="_s << u"image.cue"_s << besideTitles;
        QTest::newRow("so does one named after the whole file")
            << u"--import-cuesheet-from="_s << u"image.flac.cue"_s << besideTitles;
    }
    void sheetsInsideFlacImages()
    {
        QFETCH(QString, inside);
        QFETCH(QString, beside);
        QFETCH(QStringList, titles);
        QTemporaryDir dir;
        const QString image = place(dir.path(), u"image.flac"_s), ripped = dir.filePath(u"ripped.txt"_s);
        writeFile(ripped, sheetFor(u"Range.wav"_s).toUtf8());
        QCOMPARE(runTool(u"metaflac"_s, {inside + ripped, image}).exitCode, 0);
        if (!beside.isEmpty())
            writeFile(dir.filePath(beside), sheetFor(u"image.flac"_s, u"00:00:00"_s, titles).toUtf8());

        const ToolRun tracks = runSplit({u"--tracks"_s, image});
        QStringList names;
        for (const QString &title : titles) {
            QVERIFY2(tracks.out.contains("\"title\": \"" + title.toUtf8() + '"'), tracks.out.constData());
            names << u"Band - "_s + title + u".flac"_s;
        }
        QVERIFY2(tracks.exitCode == 0 && tracks.out.contains("\"index\": \"00:06:50\"") &&
                     tracks.out.contains("\"audio\": \"" + image.toUtf8() + '"'),
                 tracks.out.constData());
        const QString out = dir.filePath(u"out"_s);
        QDir().mkdir(out);
        const ToolRun split = runSplit({image, u"--dest"_s, out}, {}, u"/nonexistent/mp3splt"_s);
        QVERIFY2(split.exitCode == 0, split.err.constData());
        names.sort();
        QCOMPARE(entriesOf(out), names);
    }
};

QTEST_GUILESS_MAIN(LosslessJobTest)
#include "tst_losslessjob.moc"
