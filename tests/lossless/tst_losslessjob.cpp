#include "core/audio/audiolength.h"
#include "core/lossless/losslesscut.h"
#include "support/files.h"
#include "support/flacalbum.h"
#include "support/splitters.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace velvane;
using namespace velvane::test;

namespace {

enum class WavLayout
{
    Plain,        // 16-byte PCM format chunk, then the audio
    Extensible,   // WAVE_FORMAT_EXTENSIBLE
    ChunksBefore, // an odd-sized chunk (with its pad byte) and a LIST chunk between the format and the audio
    UnstatedSize, // the audio chunk's size left at 0xFFFFFFFF, as a streaming ripper leaves it
};

template <typename T> QByteArray le(qint64 value)
{
    QByteArray bytes(sizeof(T), '\0');
    qToLittleEndian(T(value), bytes.data());
    return bytes;
}
const auto le16 = le<quint16>;
const auto le32 = le<quint32>;

QByteArray chunk(const char *id, const QByteArray &body)
{
    return QByteArray(id, 4) + le32(body.size()) + body + (body.size() % 2 ? QByteArray(1, '\0') : QByteArray());
}

// A WAV file of pcm (interleaved, little-endian), written byte by byte so every layout is exactly as asked.
QByteArray wavOf(const QByteArray &pcm, int channels, int rate, int bits, WavLayout layout)
{
    const int align = channels * bits / 8;
    QByteArray fmt = le16(layout == WavLayout::Extensible ? 0xfffe : 1) + le16(channels) + le32(rate) +
                     le32(rate * align) + le16(align) + le16(bits);
    if (layout == WavLayout::Extensible) {
        fmt += le16(22) + le16(bits) + le32(channels == 1 ? 4 : 3) +
               QByteArray::fromHex("0100000000001000800000aa00389b71");
    }
    QByteArray body = "WAVE" + chunk("fmt ", fmt);
    if (layout == WavLayout::ChunksBefore)
        body += chunk("junk", "odd") + chunk("LIST", "INFOISFT" + le32(5) + "Rip 1");
    body += layout == WavLayout::UnstatedSize ? "data" + le32(0xffffffff) + pcm : chunk("data", pcm);
    return "RIFF" + le32(body.size()) + body;
}

// ffmpeg's reading of a file's samples, not ours; it reads WAV as well as FLAC.
QByteArray decodedByFfmpeg(const QString &path, int bits)
{
    return decodeFlac(path, bits, FlacDecoder::Ffmpeg).value_or(QByteArray());
}

struct Cut
{
    QList<std::optional<LosslessPieceResult>> results;
    QStringList paths;
};

Cut cutWav(const QString &album, const QList<qint64> &starts, const QString &folder, bool asFlac,
           std::function<bool()> stop = {})
{
    LosslessCutRequest request{album, {}, asFlac};
    Cut cut;
    for (qsizetype i = 0; i < starts.size(); ++i) {
        cut.paths << QDir(folder).filePath(u"%1.%2"_s.arg(i + 1).arg(asFlac ? u"flac"_s : u"wav"_s));
        request.pieces.append({starts[i], i + 1 < starts.size() ? std::optional(starts[i + 1]) : std::nullopt,
                               cut.paths.back(), asFlac ? 200 : 0});
    }
    cut.results.resize(starts.size());
    cutWavImage(request, {[&](const LosslessPieceResult &result) { cut.results[result.piece] = result; },
                          stop ? stop : [] { return false; }});
    return cut;
}

const QString cueTemplate = u"PERFORMER \"Band\"\nFILE \"%1\" WAVE\n  TRACK 01 AUDIO\n    TITLE \"One\"\n"
                            u"    INDEX 01 %2\n  TRACK 02 AUDIO\n    TITLE \"Two\"\n    INDEX 01 00:03:37\n"
                            u"  TRACK 03 AUDIO\n    TITLE \"Three\"\n    INDEX 00 00:06:00\n    INDEX 01 00:06:50\n"_s;

} // namespace

class LosslessJobTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    FlacAlbum m_flac;   // 9 s, 44.1 kHz stereo, 16 bit
    QByteArray m_pcm;   // its samples
    FlacAlbum m_flac24; // 5 s and a sample, 48 kHz mono, 24 bit: its last piece has odd sizes
    QByteArray m_pcm24;

    // A copy of the album in folder under name, as FLAC or as a WAV file of the given layout.
    QString place(const QString &folder, const QString &name, WavLayout layout = WavLayout::Plain) const
    {
        const QString path = QDir(folder).filePath(name);
        if (name.endsWith(u".flac"_s))
            QFile::copy(m_flac.path, path);
        else
            writeFile(path, wavOf(m_pcm, 2, 44100, 16, layout));
        return path;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        const auto stereo = makeFlacAlbum(m_dir.path(), {FlacEncoder::Flac5, 44100, 16, 2, 9 * 44100}, u"stereo"_s);
        const auto mono = makeFlacAlbum(m_dir.path(), {FlacEncoder::Flac8, 48000, 24, 1, 5 * 48000 + 1}, u"mono"_s);
        QVERIFY(stereo && mono);
        m_flac = *stereo;
        m_flac24 = *mono;
        m_pcm = decodeFlac(m_flac.path, 16, FlacDecoder::Flac).value_or(QByteArray());
        m_pcm24 = decodeFlac(m_flac24.path, 24, FlacDecoder::Flac).value_or(QByteArray());
        QCOMPARE(m_pcm.size(), 9 * 44100 * 4);
        QCOMPARE(m_pcm24.size(), (5 * 48000 + 1) * 3);
    }

    // Each piece holds exactly its samples of the album, in every layout a ripper writes, and its sizes are right:
    // the RIFF size is the file's less 8 and an odd audio size gets its pad byte.
    void wavPiecesAreTheAlbumsSamples_data()
    {
        QTest::addColumn<int>("layout");
        QTest::addColumn<bool>("deep"); // 24-bit mono rather than 16-bit stereo
        QTest::addColumn<bool>("asFlac");
        QTest::newRow("plain 16-bit") << int(WavLayout::Plain) << false << false;
        QTest::newRow("extensible 24-bit mono, odd sizes") << int(WavLayout::Extensible) << true << false;
        QTest::newRow("odd chunk and LIST before the audio") << int(WavLayout::ChunksBefore) << false << false;
        QTest::newRow("audio size not stated") << int(WavLayout::UnstatedSize) << true << false;
        QTest::newRow("as FLAC, 16-bit") << int(WavLayout::ChunksBefore) << false << true;
        QTest::newRow("as FLAC, 24-bit") << int(WavLayout::Extensible) << true << true;
    }
    void wavPiecesAreTheAlbumsSamples()
    {
        QFETCH(int, layout);
        QFETCH(bool, deep);
        QFETCH(bool, asFlac);
        const int rate = deep ? 48000 : 44100, bits = deep ? 24 : 16, channels = deep ? 1 : 2;
        const QByteArray &pcm = deep ? m_pcm24 : m_pcm;
        const int align = channels * bits / 8;
        QTemporaryDir dir;
        const QString album = dir.filePath(u"album.wav"_s);
        writeFile(album, wavOf(pcm, channels, rate, bits, WavLayout(layout)));
        const QList<qint64> starts{0, 151, 226, 301};
        const Cut cut = cutWav(album, starts, dir.path(), asFlac);

        for (qsizetype i = 0; i < starts.size(); ++i) {
            QVERIFY2(cut.results[i] && cut.results[i]->ok,
                     qPrintable(cut.results[i] ? cut.results[i]->reason : u"?"_s));
            const qint64 first = starts[i] * rate / 75;
            const qint64 end = i + 1 < starts.size() ? starts[i + 1] * rate / 75 : pcm.size() / align;
            const QByteArray expected = pcm.mid(first * align, (end - first) * align);
            const auto length = measureAudio(cut.paths[i], asFlac ? AudioFormat::Flac : AudioFormat::Wav);
            QCOMPARE(length.value_or(AudioLength()).samples, end - first);
            if (asFlac) {
                QVERIFY(flacTestPasses(cut.paths[i]));
                QCOMPARE(decodeFlac(cut.paths[i], bits, FlacDecoder::Flac).value_or(QByteArray()), expected);
                continue;
            }
            const QByteArray piece = readFile(cut.paths[i]);
            QCOMPARE(qFromLittleEndian<quint32>(piece.constData() + 4), quint32(piece.size() - 8));
            const qsizetype data = piece.indexOf("data");
            QCOMPARE(qFromLittleEndian<quint32>(piece.constData() + data + 4), quint32(expected.size()));
            QCOMPARE(piece.size(), data + 8 + expected.size() + expected.size() % 2);
            QCOMPARE(decodedByFfmpeg(cut.paths[i], bits), expected);
        }
    }

    // A piece that cannot be made leaves nothing at its path and nothing of anybody else's is touched; the others are
    // made all the same. A stop leaves no piece half written and reports nothing more.
    void wavPiecesThatCannotBeMade_data()
    {
        QTest::addColumn<QByteArray>("album"); // empty: the usual album
        QTest::addColumn<QList<qint64>>("starts");
        QTest::addColumn<int>("takenPiece"); // whose path holds a file already; -1 for none
        QTest::addColumn<QList<bool>>("made");
        QTest::addColumn<QString>("reason"); // of the first piece not made
        QTest::newRow("a file in the way") << QByteArray() << QList<qint64>{0, 300} << 1 << QList<bool>{true, false}
                                           << u"The piece could not be made"_s;
        QTest::newRow("a track past the end")
            << QByteArray() << QList<qint64>{0, 300, 700} << -1 << QList<bool>{true, true, false} << u"after the end"_s;
        QTest::newRow("not a WAV file") << QByteArray("RIFF\4\0\0\0AVI ") << QList<qint64>{0, 300} << -1
                                        << QList<bool>{false, false} << u"not a RIFF/WAVE file"_s;
        QTest::newRow("8-bit audio") << wavOf(QByteArray(8000, '\x80'), 1, 8000, 8, WavLayout::Plain)
                                     << QList<qint64>{0, 30} << -1 << QList<bool>{false, false} << u"8-bit"_s;
        QTest::newRow("floating point")
            << wavOf(QByteArray(8000, '\0'), 1, 8000, 16, WavLayout::Plain).replace(20, 2, "\3\0")
            << QList<qint64>{0, 30} << -1 << QList<bool>{false, false} << u"integer PCM"_s;
    }
    void wavPiecesThatCannotBeMade()
    {
        QFETCH(QByteArray, album);
        QFETCH(QList<qint64>, starts);
        QFETCH(int, takenPiece);
        QFETCH(QList<bool>, made);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"album.wav"_s);
        writeFile(path, album.isEmpty() ? wavOf(m_pcm, 2, 44100, 16, WavLayout::Plain) : album);
        if (takenPiece >= 0)
            writeFile(dir.filePath(u"%1.wav"_s.arg(takenPiece + 1)), "mine");
        const Cut cut = cutWav(path, starts, dir.path(), false);
        QString firstReason;
        for (qsizetype i = 0; i < starts.size(); ++i) {
            QVERIFY(cut.results[i]);
            QCOMPARE(cut.results[i]->ok, made[i]);
            if (i == takenPiece)
                QCOMPARE(readFile(cut.paths[i]), QByteArray("mine"));
            else
                QCOMPARE(QFileInfo::exists(cut.paths[i]), made[i]);
            if (!made[i] && firstReason.isEmpty())
                firstReason = cut.results[i]->reason;
        }
        QVERIFY2(firstReason.contains(reason), qPrintable(firstReason));
    }

    void aStoppedWavCutLeavesNoHalfPiece()
    {
        for (const bool asFlac : {false, true}) {
            QTemporaryDir dir;
            int polls = 0;
            // Stops once the first piece has been started, whatever the cutter's pace of asking.
            const Cut cut =
                cutWav(place(dir.path(), u"album.wav"_s), {0, 300}, dir.path(), asFlac, [&] { return ++polls > 1; });
            QVERIFY(!cut.results[1]);
            for (qsizetype i = 0; i < 2; ++i)
                QCOMPARE(QFileInfo::exists(cut.paths[i]), cut.results[i].has_value());
        }
    }

    // velvane-split cuts FLAC and WAV albums without the splitter: the pregap joins track 1, the names are the
    // usual ones with the album's or the chosen extension, a name taken gets " (2)" and the file there is kept,
    // and the pieces together are the album, sample for sample.
    void albumsCutByTheCommandLine_data()
    {
        QTest::addColumn<QStringList>("files"); // the sheet's FILE names, one sheet of tracks each
        QTest::addColumn<QString>("options");   // |-separated
        QTest::addColumn<QStringList>("names"); // what the destination holds after, sorted
        QTest::addColumn<QString>("takenName"); // a file there before; empty for none
        const QStringList wavNames{u"Band - One.wav"_s, u"Band - Three.wav"_s, u"Band - Two.wav"_s};
        QTest::newRow("WAV") << QStringList{u"album.wav"_s} << QString() << wavNames << QString();
        QTest::newRow("WAV, a name taken")
            << QStringList{u"album.wav"_s} << QString()
            << QStringList{u"Band - One.wav"_s, u"Band - Three.wav"_s, u"Band - Two (2).wav"_s, u"Band - Two.wav"_s}
            << u"Band - Two.wav"_s;
        QTest::newRow("WAV saved as FLAC, numbered")
            << QStringList{u"album.wav"_s} << u"--flac|--numbered"_s
            << QStringList{u"01 Band - One.flac"_s, u"02 Band - Two.flac"_s, u"03 Band - Three.flac"_s} << QString();
        QTest::newRow("a WAV side and a FLAC side")
            << QStringList{u"side a.wav"_s, u"side b.flac"_s} << QString()
            << QStringList{u"Band - One.flac"_s,  u"Band - One.wav"_s,  u"Band - Three.flac"_s,
                           u"Band - Three.wav"_s, u"Band - Two.flac"_s, u"Band - Two.wav"_s}
            << QString();
    }
    void albumsCutByTheCommandLine()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, options);
        QFETCH(QStringList, names);
        QFETCH(QString, takenName);
        QTemporaryDir dir;
        const QString out = dir.filePath(u"out"_s);
        QDir().mkdir(out);
        QString sheet;
        for (const QString &file : files) {
            place(dir.path(), file);
            sheet += cueTemplate.arg(file, u"00:01:00"_s);
        }
        writeFile(dir.filePath(u"album.cue"_s), sheet.toUtf8());
        if (!takenName.isEmpty())
            writeFile(QDir(out).filePath(takenName), "mine");

        QStringList arguments{dir.filePath(u"album.cue"_s), u"--dest"_s, out};
        if (!options.isEmpty())
            arguments += options.split(u'|');
        const ToolRun run = runSplit(arguments, {}, u"/nonexistent/mp3splt"_s);
        QVERIFY2(run.exitCode == 0, run.err.constData());
        QCOMPARE(entriesOf(out), names);
        if (!takenName.isEmpty())
            QCOMPARE(readFile(QDir(out).filePath(takenName)), QByteArray("mine"));

        for (const QString &file : files) {
            const QString extension = file.endsWith(u".wav"_s) && !options.contains(u"--flac"_s) ? u"wav"_s : u"flac"_s;
            QByteArray joined;
            for (const QString &title : {u"One"_s, u"Two"_s, u"Three"_s}) {
                const auto piece = std::find_if(names.cbegin(), names.cend(), [&](const QString &name) {
                    return name.contains(title) && name.endsWith(extension) && name != takenName;
                });
                QVERIFY(piece != names.cend());
                if (extension == u"flac"_s)
                    QVERIFY2(flacTestPasses(QDir(out).filePath(*piece)), qPrintable(*piece));
                joined += decodedByFfmpeg(QDir(out).filePath(*piece), 16);
            }
            QCOMPARE(joined.size(), m_pcm.size());
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
        QTest::newRow("WavPack") << u"album.wv"_s << u"sheet"_s << u"WavPack"_s;
        QTest::newRow("TTA") << u"album.tta"_s << u"sheet"_s << u"TTA"_s;
        QTest::newRow("ALAC") << u"album.m4a"_s << u"sheet"_s << u"ALAC"_s;
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
        if (file.endsWith(u".flac"_s))
            place(dir.path(), file);
        else
            writeFile(dir.filePath(file), "not cut here");
        writeFile(dir.filePath(u"album.cue"_s),
                  cueTemplate.arg(how == u"sheet"_s ? file : u"album.mp3"_s, u"00:00:00"_s).toUtf8());
        const auto before = folderHashes(dir.path());
        QStringList arguments{dir.filePath(how.isEmpty() ? file : u"album.cue"_s)};
        if (how == u"--audio"_s)
            arguments << u"--audio"_s << dir.filePath(file);
        else if (how == u"--tracks"_s)
            arguments = QStringList{how, dir.filePath(file)};
        const ToolRun run = runSplit(arguments, {}, u"/nonexistent/mp3splt"_s);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(named.toUtf8()) && run.err.contains(file.toUtf8()), run.err.constData());
        QCOMPARE(folderHashes(dir.path()), before);
    }

    // A FLAC image's own sheet is read from its CUESHEET tag or its CUESHEET block, unless a .cue of its name lies
    // beside it; --tracks shows what was read, and the image cuts by it.
    void sheetsInsideFlacImages_data()
    {
        QTest::addColumn<QString>("inside"); // "tag" or "block"
        QTest::addColumn<QString>("beside"); // the name of a .cue beside it; empty for none
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QStringList>("names");
        const QStringList sheetTitles{u"One"_s, u"Two"_s, u"Three"_s};
        QTest::newRow("tag, written for the WAV it was ripped to")
            << u"tag"_s << QString() << sheetTitles
            << QStringList{u"Band - One.flac"_s, u"Band - Three.flac"_s, u"Band - Two.flac"_s};
        QTest::newRow("block") << u"block"_s << QString() << QStringList{u"Track 01"_s, u"Track 02"_s, u"Track 03"_s}
                               << QStringList{u"Band - Track 01.flac"_s, u"Band - Track 02.flac"_s,
                                              u"Band - Track 03.flac"_s};
        const QStringList besideTitles{u"Uno"_s, u"Dos"_s, u"Tres"_s};
        const QStringList besideNames{u"Band - Dos.flac"_s, u"Band - Tres.flac"_s, u"Band - Uno.flac"_s};
        QTest::newRow("a sheet beside wins") << u"tag"_s << u"image.cue"_s << besideTitles << besideNames;
        QTest::newRow("so does one named after the whole file")
            << u"block"_s << u"image.flac.cue"_s << besideTitles << besideNames;
    }
    void sheetsInsideFlacImages()
    {
        QFETCH(QString, inside);
        QFETCH(QString, beside);
        QFETCH(QStringList, titles);
        QFETCH(QStringList, names);
        QTemporaryDir dir;
        const QString image = place(dir.path(), u"image.flac"_s);
        const QString sheet = dir.filePath(u"ripped.txt"_s);
        writeFile(sheet, cueTemplate.arg(u"Range.wav"_s, u"00:00:00"_s).toUtf8());
        const QString how = inside == u"tag"_s ? u"--set-tag-from-file=CUESHEET="_s : u"--import-cuesheet-from="_s;
        QCOMPARE(QProcess::execute(u"metaflac"_s, {how + sheet, image}), 0);
        if (!beside.isEmpty()) {
            writeFile(dir.filePath(beside), cueTemplate.arg(u"image.flac"_s, u"00:00:00"_s)
                                                .replace(u"One"_s, u"Uno"_s)
                                                .replace(u"Two"_s, u"Dos"_s)
                                                .replace(u"Three"_s, u"Tres"_s)
                                                .toUtf8());
        }

        const ToolRun tracks = runSplit({u"--tracks"_s, image});
        QVERIFY2(tracks.exitCode == 0, tracks.err.constData());
        for (const QString &title : titles)
            QVERIFY2(tracks.out.contains("\"title\": \"" + title.toUtf8() + '"'), tracks.out.constData());
        QVERIFY2(tracks.out.contains("\"index\": \"00:06:50\""), tracks.out.constData());
        QVERIFY2(tracks.out.contains("\"audio\": \"" + image.toUtf8() + '"'), tracks.out.constData());

        const QString out = dir.filePath(u"out"_s);
        QDir().mkdir(out);
        const ToolRun split = runSplit({image, u"--dest"_s, out}, {}, u"/nonexistent/mp3splt"_s);
        QVERIFY2(split.exitCode == 0, split.err.constData());
        QCOMPARE(entriesOf(out), names);
    }
};

QTEST_GUILESS_MAIN(LosslessJobTest)
#include "tst_losslessjob.moc"
