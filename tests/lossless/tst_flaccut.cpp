#include "core/lossless/flacframe.h"
#include "core/lossless/flacmetadata.h"
#include "core/lossless/flacstream.h"
#include "core/lossless/losslesscut.h"
#include "support/files.h"
#include "support/flacalbum.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace velvane;
using namespace velvane::test;

namespace {

struct Cut
{
    QList<LosslessPieceResult> results; // by piece
    int reports = 0;
};

QString pieceName(qsizetype index)
{
    return u"%1.flac"_s.arg(index + 1, 2, 10, QChar(u'0'));
}

// Cuts album at the cue times starts (1/75 s), the last piece to the end of the audio, into folder/01.flac...
Cut cut(const QString &album, const QList<qint64> &starts, const QString &folder, bool stop = false)
{
    LosslessCutRequest request{album, {}, false};
    for (qsizetype i = 0; i < starts.size(); ++i) {
        const auto end = i + 1 < starts.size() ? std::optional(starts[i + 1]) : std::nullopt;
        request.pieces.append({starts[i], end, QDir(folder).filePath(pieceName(i)), int(300 + 100 * i)});
    }
    Cut outcome;
    outcome.results.resize(starts.size());
    cutFlacImage(request, {[&](const LosslessPieceResult &result) {
                               ++outcome.reports;
                               outcome.results[result.piece] = result;
                           },
                           [stop] {
                               return stop;
                           }});
    return outcome;
}

// Cue times near the album's frame boundaries: on one, 4 and 12 samples before one, 4 after, and 8 before one, which
// leaves a head too short to be a frame; those the rate and block size allow. Then one anywhere.
QList<qint64> cutsNearBoundaries(const FlacAlbum &album)
{
    QList<qint64> starts{0};
    for (const int offset : {0, -4, -12, 4, -8}) {
        for (qint64 k = 75; k < 1200; ++k) {
            const qint64 sample = k * album.spec.rate / 75;
            if ((sample - offset) % album.blockSize == 0 && !starts.contains(k)) {
                starts << k;
                break;
            }
        }
    }
    if (!starts.contains(1111))
        starts << 1111;
    std::sort(starts.begin(), starts.end());
    return starts;
}

// The types of the file's metadata blocks in order, and the length of the last.
std::pair<QList<int>, int> metadataBlocks(const QByteArray &file)
{
    QList<int> types;
    int length = -1;
    for (qsizetype at = 4; at + 4 <= file.size();) {
        types << (uchar(file[at]) & 0x7F);
        length = uchar(file[at + 1]) << 16 | uchar(file[at + 2]) << 8 | uchar(file[at + 3]);
        if (uchar(file[at]) & 0x80)
            break;
        at += 4 + length;
    }
    return {types, length};
}

// The piece's sample count, shortest and longest block (the last not counted as shortest unless alone) and frame,
// as its STREAMINFO tells them and, after "/", as its frames are; a damaged frame or a block shorter than 16 samples
// or longer than a streamable stream allows is named instead.
QString streamInfoAgainstFrames(const QByteArray &file)
{
    const auto layout = readFlacLayout(file);
    if (!layout)
        return u"no STREAMINFO"_s;
    const FlacFrames frames = scanFlacFrames(file, *layout);
    QList<int> blocks, sizes;
    for (const FlacFrame &frame : frames.frames) {
        if (frame.damaged)
            return u"a damaged frame"_s;
        blocks << frame.blockSize;
        sizes << int(frame.size);
    }
    if (blocks.isEmpty())
        return u"no frames"_s;
    const int maxBlock = *std::ranges::max_element(blocks);
    const int minBlock = blocks.size() == 1 ? maxBlock : *std::min_element(blocks.cbegin(), blocks.cend() - 1);
    const FlacStreamInfo &told = layout->info;
    if (minBlock < 16 || maxBlock > (told.sampleRate > 48000 ? 16384 : 4608))
        return u"a frame of %1 or %2 samples"_s.arg(minBlock).arg(maxBlock);
    const auto text = [](qint64 samples, int minBlock, int maxBlock, int minFrame, int maxFrame) {
        return u"%1 samples, blocks %2-%3, frames %4-%5"_s.arg(samples).arg(minBlock).arg(maxBlock).arg(minFrame).arg(
            maxFrame);
    };
    return text(told.totalSamples, told.minBlockSize, told.maxBlockSize, told.minFrameSize, told.maxFrameSize) +
           u" / "_s +
           text(frames.totalSamples, minBlock, maxBlock, *std::ranges::min_element(sizes),
                *std::ranges::max_element(sizes));
}

enum class Fault
{
    None,
    FrameBody,
    FrameHeader,
    FarHeader,
    Md5,
    Id3Front,
    FileInTheWay,
    PastEnd,
    Stop,
};

} // namespace

class TestFlacCut : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    FlacAlbum m_plain; // for the faults
    QByteArray m_plainPcm;

private slots:
    void initTestCase()
    {
        const auto album =
            makeFlacAlbum(m_dir.path(), {FlacEncoder::Flac5, 44100, 16, 2, 20 * 44100 + 333}, u"plain"_s);
        QVERIFY(album);
        m_plain = *album;
        m_plainPcm = decodeFlac(m_plain.path, 16, FlacDecoder::Flac).value_or(QByteArray());
        QCOMPARE(m_plainPcm.size(), (20 * 44100 + 333) * 4);
    }

    void cutsAreExact_data()
    {
        QTest::addColumn<int>("encoder");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("channels");
        QTest::newRow("flac -5, 44.1 kHz stereo") << int(FlacEncoder::Flac5) << 44100 << 16 << 2;
        QTest::newRow("flac -8, 44.1 kHz stereo") << int(FlacEncoder::Flac8) << 44100 << 16 << 2;
        QTest::newRow("ffmpeg, 44.1 kHz stereo") << int(FlacEncoder::Ffmpeg) << 44100 << 16 << 2;
        QTest::newRow("flac -5, 96 kHz 24-bit stereo") << int(FlacEncoder::Flac5) << 96000 << 24 << 2;
        QTest::newRow("flac -8, 48 kHz mono") << int(FlacEncoder::Flac8) << 48000 << 16 << 1;
        QTest::newRow("ffmpeg, 48 kHz 24-bit 5.1") << int(FlacEncoder::Ffmpeg) << 48000 << 24 << 6;
    }

    // Every piece holds exactly its own samples, for every decoder, verifies with its own MD5 and seeks right; the last
    // ends inside the album's short last frame.
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
        const Cut outcome = cut(album->path, starts, folder);
        QCOMPARE(outcome.reports, starts.size());
        const qsizetype frameBytes = qsizetype(channels) * bits / 8;
        for (const FlacDecoder decoder : {FlacDecoder::Flac, FlacDecoder::Ffmpeg}) {
            const auto whole = decodeFlac(album->path, bits, decoder);
            QVERIFY(whole);
            qsizetype at = 0;
            for (qsizetype i = 0; i < starts.size(); ++i) {
                QVERIFY2(outcome.results[i].ok, qPrintable(outcome.results[i].reason));
                const auto piece = decodeFlac(QDir(folder).filePath(pieceName(i)), bits, decoder);
                QVERIFY(piece);
                const qint64 end = i + 1 < starts.size() ? starts[i + 1] * rate / 75 : whole->size() / frameBytes;
                QCOMPARE(piece->size() / frameBytes, end - starts[i] * rate / 75);
                QVERIFY2(*piece == whole->mid(at, piece->size()), qPrintable(u"piece %1"_s.arg(i + 1)));
                at += piece->size();
            }
            QCOMPARE(at, whole->size());
        }

        for (qsizetype i = 0; i < starts.size(); ++i) {
            const QString piece = QDir(folder).filePath(pieceName(i));
            QVERIFY2(flacTestPasses(piece), qPrintable(piece));
            const QStringList info = streamInfoAgainstFrames(readFile(piece)).split(u" / "_s);
            QCOMPARE(info.value(0), info.value(1));
            // Only our own blocks: no tags, pictures or seek points of the album's, and the room for tags asked for.
            const auto [types, padding] = metadataBlocks(readFile(piece));
            QCOMPARE(types, (QList<int>{0, 4, 1}));
            QCOMPARE(padding, 300 + 100 * i);
        }
        const QString last = QDir(folder).filePath(pieceName(starts.size() - 1));
        const auto full = decodeFlac(last, bits, FlacDecoder::Ffmpeg),
                   sought = decodeFlac(last, bits, FlacDecoder::Ffmpeg, 30);
        QVERIFY(full && sought);
        QVERIFY(*sought == full->mid(30 * rate * frameBytes));
    }

    void faults_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<double>("at");        // seconds into the album
        QTest::addColumn<QString>("okPieces"); // of 01 (0 s), 02 (5 s), 03 (12 s to the end), and 04 (30 s) if any
        QTest::addColumn<QString>("reason");
        const QString md5 = u"The album is damaged: its audio does not match its MD5 checksum."_s;
        QTest::newRow("frame fails its CRC-16")
            << int(Fault::FrameBody) << 8.0 << u"+-+"_s << u"The album is damaged from 0:07 to 0:09."_s;
        QTest::newRow("frame header fails its CRC-8")
            << int(Fault::FrameHeader) << 8.0 << u"+-+"_s << u"The album is damaged from 0:07 to 0:09."_s;
        // Inside a frame, a header that passes its CRC-8 but numbers a frame far past the end of the audio.
        QTest::newRow("chance header in a damaged frame")
            << int(Fault::FarHeader) << 8.0 << u"+-+"_s << u"The album is damaged from 0:07 to 0:09."_s;
        QTest::newRow("damaged frame across a cut")
            << int(Fault::FrameBody) << 5.0 << u"--+"_s << u"The album is damaged from 0:04 to 0:06."_s;
        QTest::newRow("damaged last frame")
            << int(Fault::FrameBody) << 20.0 << u"++-"_s << u"The album is damaged from 0:19 to 0:21."_s;
        QTest::newRow("audio unlike its MD5") << int(Fault::Md5) << 0.0 << u"---"_s << md5;
        QTest::newRow("ID3v2 tag in front") << int(Fault::Id3Front) << 0.0 << u"+++"_s << QString();
        QTest::newRow("a file where a track goes") << int(Fault::FileInTheWay) << 0.0 << u"+-+"_s << QString();
        QTest::newRow("a track past the end") << int(Fault::PastEnd) << 0.0 << u"+++-"_s
                                              << u"The track starts at 0:30, after the end of the audio (0:20)."_s;
        QTest::newRow("stop") << int(Fault::Stop) << 0.0 << QString() << QString();
    }

    // A fault fails only the pieces it touches, with the reason, and leaves no file for them; the others come out
    // whole.
    void faults()
    {
        QFETCH(int, fault);
        QFETCH(double, at);
        QFETCH(QString, okPieces);
        QFETCH(QString, reason);
        const QString folder = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(QDir().mkpath(folder));
        const QString album = QDir(folder).filePath(u"album.flac"_s);
        QByteArray bytes = readFile(m_plain.path);

        const auto layout = readFlacLayout(bytes);
        QVERIFY(layout);
        const FlacFrames frames = scanFlacFrames(bytes, *layout);
        const qint64 sample = std::min(qint64(at * 44100), frames.totalSamples - 1);
        const auto frame = std::find_if(frames.frames.begin(), frames.frames.end(),
                                        [&](const FlacFrame &f) { return f.firstSample + f.blockSize > sample; });
        switch (Fault(fault)) {
        case Fault::FrameBody:
            bytes[frame->offset + frame->size / 2] = char(bytes[frame->offset + frame->size / 2] ^ 0x10);
            break;
        case Fault::FrameHeader:
            bytes[frame->offset + 4] = char(bytes[frame->offset + 4] ^ 0x01);
            break;
        case Fault::FarHeader: {
            const auto header = parseFlacFrameHeader(QByteArrayView(bytes).sliced(frame->offset, frame->headerLength));
            QVERIFY(header);
            const QByteArray far = writeFlacFrameHeader(*header, false, 1'000'000);
            bytes.replace(frame->offset + frame->size / 2, far.size(), far);
            break;
        }
        case Fault::Md5:
            bytes[8 + 18] = char(bytes[8 + 18] ^ 0x01); // the first byte of STREAMINFO's MD5
            break;
        case Fault::Id3Front:
            bytes.prepend(QByteArray("ID3\x04\0\0\0\0\x02\0", 10) + QByteArray(256, '\0'));
            break;
        case Fault::FileInTheWay:
            QVERIFY(writeFile(QDir(folder).filePath(pieceName(1)), "mine"));
            break;
        default:
            break;
        }
        QVERIFY(writeFile(album, bytes));
        QList<qint64> starts{0, 375, 900};
        if (Fault(fault) == Fault::PastEnd)
            starts << 2250;
        const Cut outcome = cut(album, starts, folder, Fault(fault) == Fault::Stop);

        if (Fault(fault) == Fault::Stop) {
            QCOMPARE(outcome.reports, 0);
            QCOMPARE(entriesOf(folder), QStringList{u"album.flac"_s});
            return;
        }
        QCOMPARE(outcome.reports, starts.size());
        for (qsizetype i = 0; i < starts.size(); ++i) {
            const LosslessPieceResult &result = outcome.results[i];
            const QString path = QDir(folder).filePath(pieceName(i));
            if (okPieces[i] == u'-') {
                QVERIFY2(!result.ok, qPrintable(pieceName(i)));
                if (!reason.isEmpty())
                    QCOMPARE(result.reason, reason);
                QVERIFY(!result.reason.isEmpty());
                QCOMPARE(readFile(path), Fault(fault) == Fault::FileInTheWay ? QByteArray("mine") : QByteArray());
                continue;
            }
            QVERIFY2(result.ok, qPrintable(result.reason));
            QVERIFY(flacTestPasses(path));
            const auto pcm = decodeFlac(path, 16, FlacDecoder::Flac);
            QVERIFY(pcm);
            const qint64 end = i + 1 < starts.size() ? starts[i + 1] * 44100 / 75 * 4 : m_plainPcm.size();
            QVERIFY(*pcm == m_plainPcm.mid(starts[i] * 44100 / 75 * 4, end - starts[i] * 44100 / 75 * 4));
        }
    }
};

QTEST_GUILESS_MAIN(TestFlacCut)
#include "tst_flaccut.moc"
