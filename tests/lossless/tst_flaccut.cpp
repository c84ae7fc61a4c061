#include "core/lossless/flacframe.h"
#include "core/lossless/flacmetadata.h"
#include "core/lossless/flacstream.h"
#include "support/files.h"
#include "support/flacalbum.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace velvane;
using namespace velvane::test;

namespace {

// Cue times near the album's frame boundaries: on one, 4 and 12 samples before one, 4 after, and 8 before one, which
// leaves a head too short to be a frame; those the rate and block size allow. Then one anywhere.
QList<qint64> cutsNearBoundaries(const FlacAlbum &album)
{
    QList<qint64> starts{0, 1111};
    for (const int offset : {0, -4, -12, 4, -8}) {
        for (qint64 k = 75; k < 1200; ++k) {
            if ((k * album.shape.rate / 75 - offset) % album.blockSize == 0 && !starts.contains(k)) {
                starts << k;
                break;
            }
        }
    }
    std::sort(starts.begin(), starts.end());
    return starts;
}

// The types of the file's metadata blocks in order, and the length of the last.
std::pair<QList<int>, int> metadataBlocks(const QByteArray &file)
{
    QList<int> types;
    int length = -1;
    for (qsizetype at = 4; at + 4 <= file.size(); at += 4 + length) {
        types << (uchar(file[at]) & 0x7F);
        length = uchar(file[at + 1]) << 16 | uchar(file[at + 2]) << 8 | uchar(file[at + 3]);
        if (uchar(file[at]) & 0x80)
            break;
    }
    return {types, length};
}

// The sample count, shortest and longest block (the last not counted as shortest unless alone) and frame, as the
// file's STREAMINFO tells them and as its frames are.
std::pair<QList<qint64>, QList<qint64>> streamInfoAgainstFrames(const QByteArray &file)
{
    const auto layout = readFlacLayout(file);
    const FlacFrames frames = layout ? scanFlacFrames(file, *layout) : FlacFrames();
    if (frames.frames.empty())
        return {};
    QList<qint64> blocks, sizes;
    for (const FlacFrame &frame : frames.frames) {
        blocks << frame.blockSize;
        sizes << frame.size;
    }
    const FlacStreamInfo &told = layout->info;
    return {{told.totalSamples, told.minBlockSize, told.maxBlockSize, told.minFrameSize, told.maxFrameSize},
            {frames.totalSamples, std::ranges::min(blocks.size() == 1 ? blocks : blocks.first(blocks.size() - 1)),
             std::ranges::max(blocks), std::ranges::min(sizes), std::ranges::max(sizes)}};
}

} // namespace

class TestFlacCut : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void cutsAreExact_data()
    {
        QTest::addColumn<int>("encoder");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("channels");
        QTest::newRow("flac -5, 44.1 kHz stereo") << int(FlacEncoder::Flac5) << 44100 << 16 << 2;
        QTest::newRow("flac -5, 96 kHz 24-bit stereo") << int(FlacEncoder::Flac5) << 96000 << 24 << 2;
        QTest::newRow("flac -8, 48 kHz mono") << int(FlacEncoder::Flac8) << 48000 << 16 << 1;
        QTest::newRow("ffmpeg, 48 kHz 24-bit 5.1") << int(FlacEncoder::Ffmpeg) << 48000 << 24 << 6;
    }

    // Every piece holds exactly its own samples, for both decoders, verifies with its own MD5, tells its blocks and
    // frames truly in a streamable stream, holds only our own metadata and seeks right; the last ends inside the
    // album's short last frame.
    void cutsAreExact()
    {
        QFETCH(int, encoder);
        QFETCH(int, rate);
        QFETCH(int, bits);
        QFETCH(int, channels);
        const QString folder = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(QDir().mkpath(folder));
        const auto album =
            makeFlacAlbum(folder, {FlacEncoder(encoder), rate, bits, channels, 44 * qint64(rate) + 1001});
        QVERIFY(album);
        const QList<qint64> starts = cutsNearBoundaries(*album);
        const LosslessRun cut = cutAlbum(album->path, starts, folder);
        const qsizetype frameBytes = qsizetype(channels) * bits / 8;
        for (const bool ffmpeg : {false, true}) {
            const QByteArray whole = ffmpeg ? decodeByFfmpeg(album->path, bits) : decodeByFlac(album->path);
            qsizetype at = 0;
            for (qsizetype i = 0; i < starts.size(); ++i) {
                QVERIFY2(cut.results[i] && cut.results[i]->ok, qPrintable(cut.paths[i]));
                const QByteArray piece = ffmpeg ? decodeByFfmpeg(cut.paths[i], bits) : decodeByFlac(cut.paths[i]);
                const qint64 end = i + 1 < starts.size() ? starts[i + 1] * rate / 75 : whole.size() / frameBytes;
                QCOMPARE(piece.size() / frameBytes, end - starts[i] * rate / 75);
                QVERIFY2(piece == whole.mid(at, piece.size()), qPrintable(cut.paths[i]));
                at += piece.size();
            }
            QCOMPARE(at, whole.size());
        }
        for (qsizetype i = 0; i < starts.size(); ++i) {
            QVERIFY2(flacTestPasses(cut.paths[i]), qPrintable(cut.paths[i]));
            const auto [told, found] = streamInfoAgainstFrames(readFile(cut.paths[i]));
            QCOMPARE(told, found);
            QVERIFY(found.size() == 5 && found[1] >= 16 && found[2] <= (rate > 48000 ? 16384 : 4608));
            QCOMPARE(metadataBlocks(readFile(cut.paths[i])), std::pair(QList<int>{0, 4, 1}, int(300 + 100 * i)));
        }
        const QByteArray full = decodeByFfmpeg(cut.paths.back(), bits);
        QVERIFY(!full.isEmpty() && decodeByFfmpeg(cut.paths.back(), bits, 30) == full.mid(30 * rate * frameBytes));
    }

    void faults_data()
    {
        QTest::addColumn<QString>("fault");    // what is done to the album or beside it
        QTest::addColumn<double>("at");        // seconds into the album
        QTest::addColumn<QString>("okPieces"); // of 1 (0 s), 2 (5 s), 3 (12 s to the end), and 4 (30 s) if any
        QTest::addColumn<QString>("reason");
        const QString damaged = u"The album is damaged from %1 to %2."_s;
        QTest::newRow("frame fails its CRC-16") << u"body"_s << 8.0 << u"+-+"_s << damaged.arg(u"0:07"_s, u"0:09"_s);
        QTest::newRow("frame header fails its CRC-8")
            << u"header"_s << 8.0 << u"+-+"_s << damaged.arg(u"0:07"_s, u"0:09"_s);
        // Inside a frame, a header that passes its CRC-8 but numbers a frame far past the end of the audio.
        QTest::newRow("chance header in a damaged frame")
            << u"far header"_s << 8.0 << u"+-+"_s << damaged.arg(u"0:07"_s, u"0:09"_s);
        QTest::newRow("damaged frame across a cut")
            << u"body"_s << 5.0 << u"--+"_s << damaged.arg(u"0:04"_s, u"0:06"_s);
        QTest::newRow("damaged last frame") << u"body"_s << 20.0 << u"++-"_s << damaged.arg(u"0:19"_s, u"0:21"_s);
        QTest::newRow("audio unlike its MD5")
            << u"md5"_s << 0.0 << u"---"_s << u"The album is damaged: its audio does not match its MD5 checksum."_s;
        QTest::newRow("ID3v2 tag in front") << u"id3"_s << 0.0 << u"+++"_s << QString();
        QTest::newRow("a file where a track goes") << u"in the way"_s << 0.0 << u"+-+"_s << QString();
        QTest::newRow("a track past the end") << u"past the end"_s << 0.0 << u"+++-"_s
                                              << u"The track starts at 0:30, after the end of the audio (0:20)."_s;
        QTest::newRow("stop") << u"stop"_s << 0.0 << u"   "_s << QString();
    }

    // A fault fails only the pieces it touches, with the reason, and leaves no file for them; the others come out
    // whole. A stop reports nothing and leaves nothing.
    void faults()
    {
        QFETCH(QString, fault);
        QFETCH(double, at);
        QFETCH(QString, okPieces);
        QFETCH(QString, reason);
        const QString folder = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(QDir().mkpath(folder));
        const auto plain = makeFlacAlbum(folder, {FlacEncoder::Flac5, 44100, 16, 2, 20 * 44100 + 333}, u"plain"_s);
        QVERIFY(plain);
        const QByteArray pcm = decodeByFlac(plain->path);
        QByteArray bytes = readFile(plain->path);
        QVERIFY(QFile::remove(plain->path));

        const FlacFrames frames = scanFlacFrames(bytes, *readFlacLayout(bytes));
        const auto frame = std::ranges::find_if(frames.frames, [&](const FlacFrame &f) {
            return f.firstSample + f.blockSize > std::min(qint64(at * 44100), frames.totalSamples - 1);
        });
        const qsizetype middle = frame->offset + frame->size / 2;
        if (fault == u"body"_s)
            bytes[middle] = char(bytes[middle] ^ 0x10);
        else if (fault == u"header"_s)
            bytes[frame->offset + 4] = char(bytes[frame->offset + 4] ^ 0x01);
        else if (fault == u"far header"_s) {
            const auto header = parseFlacFrameHeader(QByteArrayView(bytes).sliced(frame->offset, frame->headerLength));
            const QByteArray far = writeFlacFrameHeader(*header, false, 1'000'000);
            bytes.replace(middle, far.size(), far);
        } else if (fault == u"md5"_s)
            bytes[8 + 18] = char(bytes[8 + 18] ^ 0x01); // the first byte of STREAMINFO's MD5
        else if (fault == u"id3"_s)
            bytes.prepend(QByteArray("ID3\x04\0\0\0\0\x02\0", 10) + QByteArray(256, '\0'));
        else if (fault == u"in the way"_s)
            QVERIFY(writeFile(QDir(folder).filePath(u"2.flac"_s), "mine"));
        const QString album = QDir(folder).filePath(u"album.flac"_s);
        QVERIFY(writeFile(album, bytes));
        QList<qint64> starts{0, 375, 900};
        if (fault == u"past the end"_s)
            starts << 2250;
        const LosslessRun cut = cutAlbum(album, starts, folder, false, [&] { return fault == u"stop"_s; });

        for (qsizetype i = 0; i < starts.size(); ++i) {
            if (okPieces[i] == u' ') {
                QVERIFY(!cut.results[i] && !QFileInfo::exists(cut.paths[i]));
            } else if (okPieces[i] == u'-') {
                QVERIFY2(cut.results[i] && !cut.results[i]->ok && !cut.results[i]->reason.isEmpty(),
                         qPrintable(cut.paths[i]));
                if (!reason.isEmpty())
                    QCOMPARE(cut.results[i]->reason, reason);
                QCOMPARE(readFile(cut.paths[i]), fault == u"in the way"_s ? "mine" : QByteArray());
            } else {
                QVERIFY2(cut.results[i] && cut.results[i]->ok, qPrintable(cut.paths[i]));
                QVERIFY(flacTestPasses(cut.paths[i]));
                const qint64 from = starts[i] * 44100 / 75 * 4;
                const qint64 end = i + 1 < starts.size() ? starts[i + 1] * 44100 / 75 * 4 : pcm.size();
                QVERIFY(decodeByFlac(cut.paths[i]) == pcm.mid(from, end - from));
            }
        }
        if (fault == u"stop"_s)
            QCOMPARE(entriesOf(folder), QStringList{u"album.flac"_s});
    }
};

QTEST_GUILESS_MAIN(TestFlacCut)
#include "tst_flaccut.moc"
