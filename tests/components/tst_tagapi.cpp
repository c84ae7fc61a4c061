#include "components/tagapi.h"
#include "support/audiofixture.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <taglib/id3v1tag.h>
#include <taglib/id3v2frame.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

QString qs(const TagLib::String &text)
{
    return QString::fromStdString(text.to8Bit(true));
}

std::unique_ptr<TagLib::MPEG::File> open(const QString &path)
{
    return std::make_unique<TagLib::MPEG::File>(QFile::encodeName(path).constData(), false);
}

// The frame's text as stored, or a null string when there is no such frame.
QString frameText(TagLib::MPEG::File &file, const char *id)
{
    const TagLib::ID3v2::FrameList frames = file.ID3v2Tag()->frameListMap()[id];
    return frames.isEmpty() ? QString() : qs(frames.front()->toString());
}

} // namespace

class TestTagApi : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void writesEveryField_data();
    void writesEveryField();
    void eachPieceStartsAfresh();
    void examinesOnlyMpeg_data();
    void examinesOnlyMpeg();
    void genreListIsId3v1();

private:
    [[nodiscard]] QString freshPiece(const QString &name);

    QTemporaryDir m_dir;
    QString m_plain;
};

void TestTagApi::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const auto album = velvane::test::makeAlbum(m_dir.path(), velvane::test::AlbumFormat::Mp3Cbr, {0.5});
    QVERIFY(album);
    m_plain = album->path;

    // Pieces can carry tags already: a v2.4 tag and an ID3v1 tag, as TagLib's plain save() writes them.
    auto file = open(m_plain);
    file->tag()->setTitle("Old title");
    file->tag()->setComment("old comment");
    file->ID3v1Tag(true)->setTitle("Old title");
    QVERIFY(file->save());
    file.reset(); // TagLib flushes on close
    file = open(m_plain);
    QCOMPARE(file->ID3v2Tag()->header()->majorVersion(), 4u);
    QVERIFY(file->hasID3v1Tag());
}

QString TestTagApi::freshPiece(const QString &name)
{
    const QString path = m_dir.filePath(name);
    QFile::remove(path);
    return QFile::copy(m_plain, path) ? path : QString();
}

void TestTagApi::writesEveryField_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("artist");
    QTest::addColumn<QString>("album");
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("track");
    QTest::addColumn<int>("total");
    QTest::addColumn<QString>("genre");
    QTest::addColumn<QString>("trck");

    QTest::newRow("latin-1") << u"Café del Mar"_s << u"Björk"_s << u"Homogenic"_s << 1997 << 3 << 12 << u"Techno"_s
                             << u"3/12"_s;
    QTest::newRow("beyond latin-1") << u"Звезда по имени Солнце"_s << u"坂本龍一"_s << u"Ωμέγα – “live” 🎹"_s << 2001
                                    << 1 << 1 << u"Ambient"_s << u"1/1"_s;
    QTest::newRow("year 0") << u"T"_s << u"P"_s << u"Album"_s << 0 << 7 << 20 << u"Pop"_s << u"7/20"_s;
}

void TestTagApi::writesEveryField()
{
    QFETCH(QString, title);
    QFETCH(QString, artist);
    QFETCH(QString, album);
    QFETCH(int, year);
    QFETCH(int, track);
    QFETCH(int, total);
    QFETCH(QString, genre);
    QFETCH(QString, trck);

    const QString piece = freshPiece(u"Grüße \"$x\" `y`.mp3"_s);
    QVERIFY(!piece.isEmpty());
    TagAPI tags;
    QVERIFY(tags.examineFile(piece));
    tags.setTitle(title);
    tags.setArtist(artist);
    tags.setAlbum(album);
    tags.setYear(year);
    tags.setTrack(track, total);
    tags.setGenreName({genre});
    QVERIFY(tags.updateFile());

    auto file = open(piece);
    QVERIFY(file->isValid());
    QVERIFY(file->hasID3v2Tag());
    QCOMPARE(file->ID3v2Tag()->header()->majorVersion(), 3u);
    QVERIFY(!file->hasID3v1Tag());

    QCOMPARE(frameText(*file, "TIT2"), title);
    QCOMPARE(frameText(*file, "TPE1"), artist);
    QCOMPARE(frameText(*file, "TALB"), album);
    QCOMPARE(frameText(*file, "TRCK"), trck);
    QCOMPARE(frameText(*file, "TCON"), genre);
    QCOMPARE(file->ID3v2Tag()->year(), unsigned(year));
    if (year == 0) {
        QVERIFY(file->ID3v2Tag()->frameListMap()["TDRC"].isEmpty());
        QVERIFY(file->ID3v2Tag()->frameListMap()["TYER"].isEmpty());
    }

    // v2.3 has Latin-1 and UTF-16 only; Latin-1 text must stay readable by players that know nothing else.
    auto *titleFrame =
        dynamic_cast<TagLib::ID3v2::TextIdentificationFrame *>(file->ID3v2Tag()->frameListMap()["TIT2"].front());
    QVERIFY(titleFrame);
    const bool latin1 = std::all_of(title.cbegin(), title.cend(), [](QChar c) { return c.unicode() < 0x100; });
    QCOMPARE(titleFrame->textEncoding(), latin1 ? TagLib::String::Latin1 : TagLib::String::UTF16);
}

void TestTagApi::eachPieceStartsAfresh()
{
    const QString first = freshPiece(u"first.mp3"_s);
    const QString second = freshPiece(u"second.mp3"_s);
    const QString notAudio = m_dir.filePath(u"notes.mp3"_s);
    {
        QFile file(notAudio);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("PERFORMER \"Someone\"\n");
    }

    TagAPI tags;
    QVERIFY(tags.examineFile(first));
    tags.setTitle(u"First"_s);
    tags.setArtist(u"First artist"_s);
    tags.setYear(1999);
    tags.setTrack(1, 2);
    tags.setGenreName({u"Jazz"_s});
    QVERIFY(tags.updateFile());

    // A failed examination must not leave the previous piece open for writing.
    QVERIFY(!tags.examineFile(notAudio));
    tags.setTitle(u"Stray"_s);
    QVERIFY(!tags.updateFile());
    QCOMPARE(frameText(*open(first), "TIT2"), u"First"_s);

    QVERIFY(tags.examineFile(second));
    tags.setTitle(u"Second"_s);
    QVERIFY(tags.updateFile());
    auto file = open(second);
    QCOMPARE(frameText(*file, "TIT2"), u"Second"_s);
    QVERIFY(frameText(*file, "TPE1").isNull());
    QVERIFY(frameText(*file, "TRCK").isNull());
    QVERIFY(frameText(*file, "TCON").isNull());
    QCOMPARE(file->ID3v2Tag()->year(), 0u);
}

void TestTagApi::examinesOnlyMpeg_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("mp3") << u"mp3"_s << true;
    QTest::newRow("missing") << u"missing"_s << false;
    QTest::newRow("empty") << u"empty"_s << false;
    QTest::newRow("ogg") << u"ogg"_s << false;
}

void TestTagApi::examinesOnlyMpeg()
{
    QFETCH(QString, kind);
    QFETCH(bool, accepted);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString path = dir.filePath(u"piece.mp3"_s);
    if (kind == u"mp3"_s) {
        QVERIFY(QFile::copy(m_plain, path));
    } else if (kind == u"ogg"_s) {
        const auto ogg = velvane::test::makeAlbum(dir.path(), velvane::test::AlbumFormat::Ogg, {0.3});
        QVERIFY(ogg);
        path = ogg->path;
    } else if (kind == u"empty"_s) {
        QVERIFY(QFile(path).open(QIODevice::WriteOnly));
    }
    TagAPI tags;
    QCOMPARE(tags.examineFile(path), accepted);
}

void TestTagApi::genreListIsId3v1()
{
    const QStringList genres = TagAPI().getGenreList();
    QCOMPARE(genres.size(), 192);
    QVERIFY(genres.contains(u"Techno"_s));
}

QTEST_GUILESS_MAIN(TestTagApi)
#include "tst_tagapi.moc"
