#include "components/tags/frontrewrite.h"
#include "components/tags/tagapi.h"
#include "core/audio/oggpage.h"
#include "core/audio/oggstream.h"
#include "support/audiofixture.h"
#include "support/files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/vorbisfile.h>

#include <cstdio>

using namespace Qt::StringLiterals;
using namespace velvane;
using namespace velvane::test;

namespace {

// The audio as a player reads it: past the ID3v2 tag or the three Vorbis header packets, before an ID3v1 tag. Ogg
// pages are taken without their sequence numbers and checksums, which longer headers move on.
QByteArray audioOf(const QByteArray &file)
{
    if (file.startsWith("OggS")) {
        QByteArray audio;
        int packets = 0;
        for (auto page = readOggPage(file, 0); page; page = readOggPage(file, page->end())) {
            if (packets >= 3)
                audio += page->bytes().first(18).toByteArray() + page->bytes().sliced(26).toByteArray();
            for (const char lacing : page->lacing)
                packets += quint8(lacing) < 255;
        }
        return audio;
    }
    qsizetype begin = 0, end = file.size();
    if (file.startsWith("ID3"))
        begin = 10 + (uchar(file[6]) << 21 | uchar(file[7]) << 14 | uchar(file[8]) << 7 | uchar(file[9]));
    if (end >= 128 && file.mid(end - 128, 3) == "TAG")
        end -= 128;
    return file.mid(begin, end - begin);
}

// Each Ogg page as "sequence:continued", with "!" for a page whose checksum fails, up to the first audio page.
QStringList oggHeaderPages(const QByteArray &file)
{
    QStringList pages;
    int packets = 0;
    for (auto page = readOggPage(file, 0); page && packets < 3; page = readOggPage(file, page->end())) {
        for (const char lacing : page->lacing)
            packets += quint8(lacing) < 255;
        pages << u"%1:%2%3"_s.arg(page->sequence)
                     .arg(page->flags & oggContinuedPacket)
                     .arg(page->crcHolds() ? u""_s : u"!"_s);
    }
    return pages;
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

} // namespace

class TestTagApi : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void writesEveryField_data();
    void writesEveryField();
    void failedWriteLeavesPieceAsItWas_data();
    void failedWriteLeavesPieceAsItWas();

private:
    // A fresh copy of a piece as the splitter leaves it, without tags.
    QString piece(const QString &folder, bool ogg) const;

    QTemporaryDir m_fixtures;
    QString m_mp3, m_ogg;
};

void TestTagApi::initTestCase()
{
    const auto mp3 = makeAlbum(m_fixtures.path(), AlbumFormat::Mp3Cbr, {1.0});
    const auto ogg = makeAlbum(m_fixtures.path(), AlbumFormat::Ogg, {1.0});
    QVERIFY(mp3 && ogg);
    m_mp3 = mp3->path;
    m_ogg = ogg->path;
}

void TestTagApi::cleanup()
{
    setRewriteSeam({});
}

QString TestTagApi::piece(const QString &folder, bool ogg) const
{
    const QString path = QDir(folder).filePath(ogg ? u"out.ogg"_s : u"out.mp3"_s);
    return QFile::copy(ogg ? m_ogg : m_mp3, path) ? path : QString();
}

void TestTagApi::writesEveryField_data()
{
    QTest::addColumn<bool>("ogg");
    QTest::addColumn<bool>("tagged"); // the piece carries tags already, which ours replace
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("track");
    QTest::addColumn<QStringList>("oggPages"); // the header pages, see oggHeaderPages(); empty: not looked at

    const QStringList onePage{u"0:0"_s, u"1:0"_s};
    QTest::newRow("mp3, latin-1") << false << false << u"Café del Mar, Björk"_s << 1997 << 3 << QStringList();
    QTest::newRow("mp3 tagged, beyond latin-1")
        << false << true << u"Звезда – 坂本龍一 “live” 🎹"_s << 2001 << 1 << QStringList();
    QTest::newRow("mp3, pregap, year 0") << false << false << u"Pregap"_s << 0 << 0 << QStringList();
    QTest::newRow("ogg tagged, pregap, year 0") << true << true << u"Pregap"_s << 0 << 0 << onePage;
    QTest::newRow("ogg, long title") << true << false << QString(3000, u'ä') << 2024 << 12 << onePage;
    // More than a page holds (255 × 255 bytes): the comment packet goes on over the next pages, and the audio pages
    // are numbered on after them.
    QTest::newRow("ogg, title of 64,000 letters") << true << false << QString(64000, u'a') << 2024 << 12
                                                  << QStringList{u"0:0"_s, u"1:0"_s, u"2:1"_s, u"3:1"_s, u"4:1"_s};
}

// Both ways of writing must give the same file: the tags read back, and the audio is the untagged piece's.
void TestTagApi::writesEveryField()
{
    QFETCH(bool, ogg);
    QFETCH(bool, tagged);
    QFETCH(QString, title);
    QFETCH(int, year);
    QFETCH(int, track);
    QFETCH(QStringList, oggPages);

    QTemporaryDir automatic, copied;
    const QString paths[] = {piece(automatic.path(), ogg), piece(copied.path(), ogg)};
    const QByteArray audio = audioOf(readFile(paths[0]));
    QByteArray before;
    for (const QString &path : paths) {
        if (tagged) {
            const QByteArray name = QFile::encodeName(path);
            std::unique_ptr<TagLib::File> old(ogg ? static_cast<TagLib::File *>(new TagLib::Ogg::Vorbis::File(name))
                                                  : new TagLib::MPEG::File(name));
            old->tag()->setTitle("Old title");
            old->tag()->setComment("Replaced");
            QVERIFY(old->save());
        }
        before = readFile(path);
        const auto stamp = stampOf(path);

        setRewriteSeam({path == paths[0] ? RewriteWay::Automatic : RewriteWay::CopyOnly, 0, {}});
        TagAPI tags;
        QVERIFY(tags.examineFile(path));
        tag(tags, title, year, track, 20);
        QVERIFY2(tags.updateFile(), qPrintable(tags.errorString()));
        if (path == paths[1] && stamp->inode != 0) // 0: the system names no file identity
            QVERIFY(stampOf(path)->inode != stamp->inode);
    }
    const QByteArray after = readFile(paths[0]);
    QCOMPARE(readFile(paths[1]), after);
    QCOMPARE(audioOf(after), tagged && ogg ? audioOf(before) : audio);

    const QByteArray name = QFile::encodeName(paths[0]);
    const QString trck = QString::number(track) + u"/20"_s;
    if (ogg) {
        QCOMPARE(oggHeaderPages(after), oggPages);
        QCOMPARE(inspectOggVorbisFile(paths[0]).damagedAt, -1);
        QVERIFY2(decodePcm(paths[0]), "the stream no longer decodes");
        TagLib::Ogg::Vorbis::File file(name.constData());
        const TagLib::Ogg::FieldListMap fields = file.tag()->fieldListMap();
        QStringList stored;
        for (const char *key : {"TITLE", "ARTIST", "ALBUM", "DATE", "TRACKNUMBER", "TRACKTOTAL", "GENRE", "COMMENT"})
            stored << (fields.contains(key) ? QString::fromStdString(fields[key].toString(",").to8Bit(true)) : u"-"_s);
        QCOMPARE(stored, (QStringList{title, u"by "_s + title, u"on "_s + title, year ? QString::number(year) : u"-"_s,
                                      QString::number(track), u"20"_s, u"Techno"_s, u"-"_s}));
        return;
    }
    TagLib::MPEG::File file(name.constData(), false);
    QVERIFY(file.isValid() && !file.hasID3v1Tag() && !file.hasAPETag());
    QCOMPARE(file.ID3v2Tag(true)->header()->majorVersion(), 3u);
    QStringList stored;
    for (const char *id : {"TIT2", "TPE1", "TALB", "TRCK", "TCON", "TDRC", "COMM"}) {
        const TagLib::ID3v2::FrameList frames = file.ID3v2Tag()->frameListMap()[id];
        stored << (frames.isEmpty() ? u"-"_s : QString::fromStdString(frames.front()->toString().to8Bit(true)));
    }
    // TagLib reads a v2.3 year back as TDRC; year 0 leaves no year frame at all.
    QCOMPARE(stored, (QStringList{title, u"by "_s + title, u"on "_s + title, trck, u"Techno"_s,
                                  year ? QString::number(year) : u"-"_s, u"-"_s}));
    // v2.3 has Latin-1 and UTF-16 only; Latin-1 text must stay readable by players that know nothing else.
    const bool latin1 = std::all_of(title.cbegin(), title.cend(), [](QChar c) { return c.unicode() < 0x100; });
    auto *titleFrame = dynamic_cast<TagLib::ID3v2::TextIdentificationFrame *>(file.ID3v2Tag()->frameList("TIT2")[0]);
    QCOMPARE(titleFrame->textEncoding(), latin1 ? TagLib::String::Latin1 : TagLib::String::UTF16);
}

void TestTagApi::failedWriteLeavesPieceAsItWas_data()
{
    QTest::addColumn<bool>("ogg");
    QTest::addColumn<bool>("overwrite");  // the piece has room for the tags already, which they are written over
    QTest::addColumn<int>("failingCall"); // the write or copy call that fails, from 1; 0: none
    QTest::addColumn<int>("error");       // its errno; 0: the piece is replaced by another file at that call
    QTest::addColumn<qint64>("chunkLimit");
    QTest::addColumn<bool>("ok");

    QTest::newRow("overwrite, tag write fails") << false << true << 1 << EIO << qint64(0) << false;
    QTest::newRow("overwrite, ogg headers fail halfway") << true << true << 3 << ENOSPC << qint64(1000) << false;
    QTest::newRow("copy, tag write fails") << true << false << 1 << ENOSPC << qint64(0) << false;
    QTest::newRow("copy, audio copy fails halfway") << false << false << 5 << EIO << qint64(4096) << false;
    QTest::newRow("overwrite, short writes") << false << true << 0 << 0 << qint64(100) << true;
    QTest::newRow("copy, short writes") << true << false << 0 << 0 << qint64(1000) << true;
    QTest::newRow("overwrite, replaced while writing") << true << true << 1 << 0 << qint64(0) << false;
    QTest::newRow("copy, replaced while writing") << false << false << 2 << 0 << qint64(0) << false;
    QTest::newRow("replaced after it was examined") << false << true << -1 << 0 << qint64(0) << false;
}

void TestTagApi::failedWriteLeavesPieceAsItWas()
{
    QFETCH(bool, ogg);
    QFETCH(bool, overwrite);
    QFETCH(int, failingCall);
    QFETCH(int, error);
    QFETCH(qint64, chunkLimit);
    QFETCH(bool, ok);

    QTemporaryDir dir, elsewhere;
    const QString path = piece(dir.path(), ogg);
    const QString newcomer = elsewhere.filePath(u"newcomer"_s);
    QFile::copy(ogg ? m_mp3 : m_ogg, newcomer);
    TagAPI tags;
    if (overwrite) {
        QVERIFY(tags.examineFile(path));
        tag(tags, u"Title"_s, 2000, 1, 2);
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

QTEST_GUILESS_MAIN(TestTagApi)
#include "tst_tagapi.moc"
