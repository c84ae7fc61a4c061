#include "components/tags/embeddedpicture.h"
#include "components/tags/frontrewrite.h"
#include "components/tags/tagapi.h"
#include "core/audio/oggpage.h"
#include "core/audio/oggstream.h"
#include "support/audiofixture.h"
#include "support/files.h"
#include "support/splitters.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QtEndian>
#include <QTest>

#include <taglib/fileref.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tpropertymap.h>
#include <taglib/wavfile.h>

using namespace Qt::StringLiterals;
using namespace velvane;
using namespace velvane::test;

namespace {

// The audio as a player reads it: past the ID3v2 tag or the three Vorbis header packets, before an ID3v1 tag; a WAV
// file's data chunk. Ogg pages are taken without their sequence numbers and checksums, which longer headers move
// on, and must be numbered on from 0, each holding its checksum and marked continued exactly when the page before
// ended inside a packet.
QByteArray audioOf(const QByteArray &file)
{
    if (file.startsWith("RIFF")) {
        const qsizetype data = file.indexOf("data", 12);
        return data < 0 ? QByteArray() : file.sliced(data + 8, qFromLittleEndian<quint32>(file.constData() + data + 4));
    }
    if (file.startsWith("OggS")) {
        QByteArray audio;
        int packets = 0;
        quint32 sequence = 0;
        qint64 end = 0;
        bool inPacket = false;
        for (auto page = readOggPage(file, 0); page; page = readOggPage(file, end = page->end())) {
            if (page->sequence != sequence++ || !page->crcHolds() || bool(page->flags & oggContinuedPacket) != inPacket)
                return "a page out of order, damaged or wrongly marked";
            inPacket = quint8(page->lacing.back()) == 255;
            if (packets >= 3)
                audio += page->bytes().first(18).toByteArray() + page->bytes().sliced(26).toByteArray();
            for (const char lacing : page->lacing)
                packets += quint8(lacing) < 255;
        }
        return end == file.size() ? audio : "bytes after the last page";
    }
    qsizetype begin = 0, end = file.size();
    if (file.startsWith("ID3"))
        begin = 10 + (uchar(file[6]) << 21 | uchar(file[7]) << 14 | uchar(file[8]) << 7 | uchar(file[9]));
    if (end >= 128 && file.mid(end - 128, 3) == "TAG")
        end -= 128;
    return file.mid(begin, end - begin);
}

void tag(TagAPI &tags, const QString &title, int year, int track, int total)
{
    tags.setTitle(title);
    tags.setArtist(u"by "_s + title);
    tags.setAlbum(u"on "_s + title);
    tags.setYear(year);
    tags.setTrack(track, total);
    tags.setGenreName({u"Techno"_s});
}

// Each page's granule position by the number of packets completed up to its end: a page must carry its last
// packet's position, however pages are laid out. A page that says wrongly whether it goes on with a packet ends it.
QMap<qint64, qint64> granulesByPackets(const QByteArray &file)
{
    QMap<qint64, qint64> granules;
    qint64 packets = 0;
    bool inPacket = false;
    for (auto page = readOggPage(file, 0); page; page = readOggPage(file, page->end())) {
        if (bool(page->flags & oggContinuedPacket) != inPacket)
            return {{-1, -1}};
        inPacket = !page->lacing.isEmpty() && quint8(page->lacing.back()) == 255;
        packets += std::count_if(page->lacing.cbegin(), page->lacing.cend(), [](char v) { return quint8(v) < 255; });
        if (page->granule != -1)
            granules.insert(packets, page->granule);
    }
    return granules;
}

} // namespace

class TestTagApi : public QObject
{
    Q_OBJECT

    QTemporaryDir m_fixtures;
    QString m_mp3, m_ogg;

private slots:
    void initTestCase()
    {
        const auto mp3 = makeAlbum(m_fixtures.path(), AlbumFormat::Mp3Cbr, {1.0});
        const auto ogg = makeAlbum(m_fixtures.path(), AlbumFormat::Ogg, {1.0});
        QVERIFY(mp3 && ogg);
        m_mp3 = mp3->path;
        m_ogg = ogg->path;
        // WAV as the cutter writes it (no chunk after "fmt "), and as ffmpeg does, with a LIST chunk before the audio.
        const QString wav = m_fixtures.filePath(u"plain.wav"_s), listed = m_fixtures.filePath(u"listed.wav"_s);
        const auto made = [](const QString &tool, const QStringList &arguments) {
            return runTool(tool, arguments).exitCode == 0;
        };
        QVERIFY(made(u"ffmpeg"_s, {u"-v"_s, u"error"_s, u"-i"_s, m_mp3, u"-fflags"_s, u"+bitexact"_s, u"-flags:a"_s,
                                   u"+bitexact"_s, wav}) &&
                made(u"ffmpeg"_s, {u"-v"_s, u"error"_s, u"-i"_s, m_mp3, listed}) &&
                made(u"flac"_s, {u"-s"_s, u"--padding=0"_s, u"-o"_s, m_fixtures.filePath(u"padded0.flac"_s), wav}) &&
                made(u"flac"_s, {u"-s"_s, u"--padding=300000"_s, u"-o"_s, m_fixtures.filePath(u"padded.flac"_s), wav}));
        QVERIFY(readFile(listed).indexOf("LIST") < readFile(listed).indexOf("data"));
    }

    void cleanup() { setRewriteSeam({}); }

    void writesTags_data()
    {
        QTest::addColumn<QString>("fixture"); // a file of m_fixtures
        QTest::addColumn<bool>("tagged");     // the piece carries tags already, which ours replace
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("year");     // 0: a pregap, track 0; else track 3
        QTest::addColumn<bool>("library"); // the library fields and a cover beside the common ones
        QTest::addColumn<bool>("inPlace"); // with the library fields: the piece keeps its file, its room took the tags

        const QString mp3 = u"album.mp3"_s, ogg = u"album.ogg"_s, jazz = u"Jazz – 坂本"_s;
        QTest::newRow("mp3, latin-1") << mp3 << false << u"Café del Mar, Björk"_s << 1997 << false << false;
        QTest::newRow("mp3 tagged, beyond latin-1, pregap")
            << mp3 << true << u"Звезда – 坂本龍一 “live” 🎹"_s << 0 << false << false;
        QTest::newRow("ogg tagged, pregap") << ogg << true << u"Pregap"_s << 0 << false << false;
        // The cover is more than a page holds: the comment packet goes on over the next pages, and the audio pages
        // are numbered on after them.
        QTest::newRow("mp3, library fields") << mp3 << false << jazz << 1978 << true << false;
        QTest::newRow("ogg, library fields") << ogg << false << jazz << 1978 << true << false;
        QTest::newRow("flac with room for it all") << u"padded.flac"_s << false << jazz << 1978 << true << true;
        QTest::newRow("flac without padding") << u"padded0.flac"_s << false << jazz << 1978 << true << false;
        QTest::newRow("wav: chunks appended") << u"plain.wav"_s << false << jazz << 1978 << true << true;
        QTest::newRow("wav with INFO before its audio") << u"listed.wav"_s << false << jazz << 1978 << true << false;
    }

    // Every field reads back through TagLib's common names, beside the audio as it was. MP3 and Ogg pieces are
    // written both ways, in place where they can and by copy, which must give the same file.
    void writesTags()
    {
        QFETCH(QString, fixture);
        QFETCH(bool, tagged);
        QFETCH(QString, title);
        QFETCH(int, year);
        QFETCH(bool, library);
        QFETCH(bool, inPlace);
        const int track = year ? 3 : 0;
        const bool lossless = !fixture.startsWith(u"album."_s),
                   xiph = !fixture.endsWith(u"mp3"_s) && !fixture.endsWith(u"wav"_s);
        QByteArray picture("\xFF\xD8\xFF\xE0", 4);
        for (int i = 0; picture.size() < 200000; ++i)
            picture += char(i * 7919 % 251);

        QTemporaryDir automatic, copied;
        // Named "piece": the format must be told by content.
        QStringList paths{automatic.filePath(u"piece."_s + QFileInfo(fixture).suffix())};
        if (!lossless)
            paths << copied.filePath(paths[0].section(u'/', -1));
        QByteArray before;
        for (const QString &path : paths) {
            QVERIFY(QFile::copy(m_fixtures.filePath(fixture), path));
            if (tagged) {
                TagLib::FileRef old(QFile::encodeName(path).constData());
                old.tag()->setTitle("Old title");
                old.tag()->setComment("Replaced");
                QVERIFY(old.save());
            }
            before = readFile(path);
            const auto stamp = stampOf(path);
            setRewriteSeam({path == paths[0] ? RewriteWay::Automatic : RewriteWay::CopyOnly, 0, {}});
            TagAPI tags;
            QVERIFY2(tags.examineFile(path), qPrintable(tags.errorString()));
            tag(tags, title, year, track, 20);
            if (library) {
                tags.setAlbumArtist(u"Various Artists"_s);
                tags.setCompilation(true);
                tags.setComposer(u"Mercury"_s);
                tags.setIsrc(u"GBAYE0000351"_s);
                tags.setBarcode(u"0077774600125"_s);
                tags.setDisc(2, 3);
                tags.setComment(u"ExactAudioCopy"_s);
                tags.setReplayGain({u"-7.20 dB"_s, u"0.988"_s, u"-8.12 dB"_s, u"1.000000"_s});
                tags.setCover({picture, u"image/jpeg"_s, 600, 600});
            }
            QVERIFY2(tags.updateFile(), qPrintable(tags.errorString()));
            if (stamp->inode != 0 && (path != paths[0] || library)) // 0: the system names no file identity
                QCOMPARE(stampOf(path)->inode == stamp->inode, path == paths[0] && inPlace);
            QCOMPARE(entriesOf(QFileInfo(path).path()), QStringList{QFileInfo(path).fileName()});
        }
        const QString path = paths[0];
        const QByteArray after = readFile(path);
        if (!lossless)
            QCOMPARE(readFile(paths[1]), after);
        if (!fixture.endsWith(u"flac"_s)) // there flac -t checks the samples against their MD5
            QCOMPARE(audioOf(after), audioOf(before));
        if (fixture.endsWith(u"ogg"_s))
            QVERIFY2(decodePcm(path), "the stream no longer decodes");
        if (fixture.endsWith(u"flac"_s))
            QCOMPARE(runTool(u"flac"_s, {u"-t"_s, u"-s"_s, path}).exitCode, 0);
        if (inPlace && fixture.endsWith(u"flac"_s))
            QCOMPARE(after.size(), before.size());

        // The old tags are gone; year 0 leaves no year at all.
        const TagLib::FileRef file(QFile::encodeName(path).constData());
        QVERIFY(!file.isNull());
        const TagLib::PropertyMap properties = file.file()->properties();
        QStringList stored;
        for (const char *key :
             {"TITLE", "ARTIST", "ALBUM", "DATE", "TRACKNUMBER", "TRACKTOTAL", "GENRE", "COMMENT", "ALBUMARTIST",
              "COMPILATION", "COMPOSER", "ISRC", "BARCODE", "DISCNUMBER", "DISCTOTAL", "REPLAYGAIN_TRACK_GAIN",
              "REPLAYGAIN_TRACK_PEAK", "REPLAYGAIN_ALBUM_GAIN", "REPLAYGAIN_ALBUM_PEAK"})
            stored << QString::fromStdString(properties[key].toString(",").to8Bit(true));
        const QString numbers = xiph ? u"%1|%2"_s : u"%1/%2|"_s;
        QString expected = u"%1|by %1|on %1|%2|"_s.arg(title, year ? QString::number(year) : QString()) +
                           numbers.arg(track).arg(20) + u"|Techno"_s;
        expected += !library ? QString(12, u'|')
                             : u"|ExactAudioCopy|Various Artists|1|Mercury|GBAYE0000351|0077774600125|"_s +
                                   numbers.arg(2).arg(3) + u"|-7.20 dB|0.988|-8.12 dB|1.000000"_s;
        QCOMPARE(stored.join(u'|'), expected);
        QCOMPARE(embeddedPicture(path), library ? picture : QByteArray());
        // Marked as the front cover, type 3: in ID3 after the MIME type, in a FLAC picture block (in base64 in Vorbis
        // comments) before it.
        QCOMPARE(after.contains(fixture.endsWith(u"ogg"_s) ? QByteArray("=AAAAAwAAAAppbWFnZS9qcGVn")
                                : xiph                     ? QByteArray("\0\0\0\3\0\0\0\12image/jpeg", 18)
                                                           : QByteArray("image/jpeg\0\3", 12)),
                 library);
        if (fixture.endsWith(u"wav"_s)) {
            TagLib::RIFF::WAV::File wav(QFile::encodeName(path).constData(), false);
            QCOMPARE(wav.ID3v2Tag()->header()->majorVersion(), 3u);
            QCOMPARE(QString::fromStdString(wav.InfoTag()->title().to8Bit(true)), title);
            QCOMPARE(wav.InfoTag()->year(), uint(year));
        }
        if (!fixture.endsWith(u"mp3"_s))
            return;
        TagLib::MPEG::File mp3(QFile::encodeName(path).constData(), false);
        QVERIFY(!mp3.hasID3v1Tag() && !mp3.hasAPETag());
        QCOMPARE(mp3.ID3v2Tag(true)->header()->majorVersion(), 3u);
        // v2.3 has Latin-1 and UTF-16 only; Latin-1 text must stay readable by players that know nothing else.
        const bool latin1 = std::all_of(title.cbegin(), title.cend(), [](QChar c) { return c.unicode() < 0x100; });
        auto *titleFrame = dynamic_cast<TagLib::ID3v2::TextIdentificationFrame *>(mp3.ID3v2Tag()->frameList("TIT2")[0]);
        QCOMPARE(titleFrame->textEncoding(), latin1 ? TagLib::String::Latin1 : TagLib::String::UTF16);
    }

    void failedWriteLeavesPieceAsItWas_data()
    {
        QTest::addColumn<bool>("ogg");
        QTest::addColumn<bool>("overwrite");  // the piece has room for the tags already, which they are written over
        QTest::addColumn<int>("failingCall"); // the write or copy call that fails, from 1; 0: none
        QTest::addColumn<int>("error");       // its errno; 0: the piece is replaced by another file at that call
        QTest::addColumn<qint64>("chunkLimit");

        QTest::newRow("overwrite, tag write fails") << false << true << 1 << EIO << qint64(0);
        QTest::newRow("overwrite, ogg headers fail halfway") << true << true << 3 << ENOSPC << qint64(1000);
        QTest::newRow("copy, tag write fails") << true << false << 1 << ENOSPC << qint64(0);
        QTest::newRow("copy, audio copy fails halfway") << false << false << 5 << EIO << qint64(4096);
        QTest::newRow("overwrite, short writes") << false << true << 0 << 0 << qint64(100);
        QTest::newRow("copy, short writes") << true << false << 0 << 0 << qint64(1000);
        QTest::newRow("overwrite, replaced while writing") << true << true << 1 << 0 << qint64(0);
        QTest::newRow("copy, replaced while writing") << false << false << 2 << 0 << qint64(0);
        QTest::newRow("replaced after it was examined") << false << true << -1 << 0 << qint64(0);
    }

    void failedWriteLeavesPieceAsItWas()
    {
        QFETCH(bool, ogg);
        QFETCH(bool, overwrite);
        QFETCH(int, failingCall);
        QFETCH(int, error);
        QFETCH(qint64, chunkLimit);
        const bool ok = failingCall == 0;

        QTemporaryDir dir, elsewhere;
        const QString path = dir.filePath(ogg ? u"out.ogg"_s : u"out.mp3"_s);
        QFile::copy(ogg ? m_ogg : m_mp3, path);
        const QString newcomer = elsewhere.filePath(u"newcomer"_s);
        QFile::copy(ogg ? m_mp3 : m_ogg, newcomer);
        TagAPI tags;
        if (overwrite) {
            QVERIFY(tags.examineFile(path));
            tag(tags, u"Eltit"_s, 1999, 1, 2); // as long as what follows, so that it is written over
            QVERIFY(tags.updateFile());
        }
        const auto stamp = stampOf(path);
        const QByteArray before = readFile(path), other = readFile(newcomer);
        // Whatever stands under the piece's name afterwards must be the piece as it was, or the newcomer untouched.
        const bool replaced = failingCall != 0 && error == 0;
        const auto replace = [&] {
            ::rename(QFile::encodeName(newcomer).constData(), QFile::encodeName(path).constData());
        };

        QVERIFY(tags.examineFile(path));
        tag(tags, u"Title"_s, 2000, 1, 2);
        if (failingCall < 0)
            replace();
        setRewriteSeam({overwrite ? RewriteWay::Automatic : RewriteWay::CopyOnly, chunkLimit, [&](int call) {
                            if (call == failingCall && error == 0)
                                replace();
                            return call == failingCall ? error : 0;
                        }});
        QCOMPARE(tags.updateFile(), ok);
        setRewriteSeam({});

        const QByteArray after = readFile(path);
        if (ok) {
            QCOMPARE(audioOf(after), audioOf(before));
            QVERIFY(tags.examineFile(path));
            QVERIFY(after.contains("Title"));
            if (stamp->inode != 0)
                QCOMPARE(stampOf(path)->inode == stamp->inode, overwrite);
        } else {
            QCOMPARE(after, replaced ? other : before);
            QVERIFY(!tags.errorString().isEmpty());
        }
        QCOMPARE(entriesOf(dir.path()), QStringList{QFileInfo(path).fileName()});
    }

    // A cover that needs more header pages than the piece had: a few audio pages are joined to make up for them, the
    // rest stays byte for byte, and the piece plays the very same samples, from each encoder's page layout.
    void largeCoverJoinsOggPages_data()
    {
        QTest::addColumn<OggEncoder>("encoder");
        QTest::newRow("oggenc") << OggEncoder::Oggenc;
        QTest::newRow("oggenc, mono 22.05 kHz") << OggEncoder::OggencMono22k;
        QTest::newRow("ffmpeg") << OggEncoder::FfmpegLibvorbis;
    }

    void largeCoverJoinsOggPages()
    {
        QFETCH(OggEncoder, encoder);
        QTemporaryDir dir;
        const auto album = makeMusicOgg(dir.path(), encoder, {30.0});
        QVERIFY(album);
        const QByteArray before = readFile(album->path);
        const auto played = decodeOgg(album->path);
        QVERIFY(played);
        QByteArray picture("\xFF\xD8\xFF\xE0", 4);
        for (qint64 i = 0; picture.size() < 300000; ++i)
            picture += char(i * 7919 % 251);

        TagAPI tags;
        QVERIFY(tags.examineFile(album->path));
        tags.setTitle(u"Title"_s);
        tags.setCover({picture, u"image/jpeg"_s, 600, 600});
        QVERIFY2(tags.updateFile(), qPrintable(tags.errorString()));

        const QByteArray after = readFile(album->path);
        QCOMPARE(embeddedPicture(album->path), picture);
        QVERIFY(after.endsWith(before.last(before.size() / 2))); // ffmpeg's pages hold a second each
        QCOMPARE(inspectOggVorbisFile(album->path).damagedAt, -1);
        QCOMPARE(decodeOgg(album->path)->samples, played->samples);
        const auto granules = granulesByPackets(before);
        for (const auto &[packets, granule] : granulesByPackets(after).asKeyValueRange())
            QCOMPARE(granules.value(packets, -2), granule);
    }
};

QTEST_GUILESS_MAIN(TestTagApi)
#include "tst_tagapi.moc"
