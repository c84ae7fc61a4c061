#include "components/tagapi.h"
#include "support/audiofixture.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>

using namespace Qt::StringLiterals;
using namespace velvane::test;

namespace {

// The frame's text as stored, or null when there is no such frame.
QString text(TagLib::MPEG::File &file, const char *id)
{
    const TagLib::ID3v2::FrameList frames = file.ID3v2Tag(true)->frameListMap()[id];
    return frames.isEmpty() ? QString() : QString::fromStdString(frames.front()->toString().to8Bit(true));
}

} // namespace

class TestTagApi : public QObject
{
    Q_OBJECT

private slots:
    void writesEveryField_data();
    void writesEveryField();
};

void TestTagApi::writesEveryField_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("year");
    QTest::addColumn<QString>("trck");

    QTest::newRow("latin-1") << u"Café del Mar, Björk"_s << 1997 << u"3/12"_s;
    QTest::newRow("beyond latin-1") << u"Звезда по имени Солнце – 坂本龍一 “live” 🎹"_s << 2001 << u"1/1"_s;
    QTest::newRow("year 0") << u"T"_s << 0 << u"7/20"_s;
}

void TestTagApi::writesEveryField()
{
    QFETCH(QString, title);
    QFETCH(int, year);
    QFETCH(QString, trck);

    QTemporaryDir dir;
    const auto piece = makeAlbum(dir.path(), AlbumFormat::Mp3Cbr, {0.5}, u"Grüße \"$x\" `y`"_s);
    const auto ogg = makeAlbum(dir.path(), AlbumFormat::Ogg, {0.3});
    QVERIFY(piece && ogg);
    { // Pieces can carry tags already: v2.4 and ID3v1, as TagLib's plain save() writes them.
        TagLib::MPEG::File old(QFile::encodeName(piece->path).constData(), false);
        old.tag()->setTitle("Old title");
        QVERIFY(old.save());
    }
    TagAPI tags;
    QVERIFY(tags.examineFile(piece->path));
    tags.setTitle(title);
    tags.setArtist(u"by "_s + title);
    tags.setAlbum(u"on "_s + title);
    tags.setYear(year);
    tags.setTrack(trck.section(u'/', 0, 0).toInt(), trck.section(u'/', 1).toInt());
    tags.setGenreName({u"Techno"_s});
    QVERIFY(tags.updateFile());

    TagLib::MPEG::File file(QFile::encodeName(piece->path).constData(), false);
    QVERIFY(file.isValid() && !file.hasID3v1Tag());
    QCOMPARE(file.ID3v2Tag(true)->header()->majorVersion(), 3u);
    QStringList stored;
    for (const char *id : {"TIT2", "TPE1", "TALB", "TRCK", "TCON", "TDRC"})
        stored << text(file, id);
    // TagLib reads a v2.3 year back as TDRC; year 0 leaves no year frame at all.
    QCOMPARE(stored, (QStringList{title, u"by "_s + title, u"on "_s + title, trck, u"Techno"_s,
                                  year ? QString::number(year) : QString()}));
    // v2.3 has Latin-1 and UTF-16 only; Latin-1 text must stay readable by players that know nothing else.
    const bool latin1 = std::all_of(title.cbegin(), title.cend(), [](QChar c) { return c.unicode() < 0x100; });
    auto *titleFrame = dynamic_cast<TagLib::ID3v2::TextIdentificationFrame *>(file.ID3v2Tag()->frameList("TIT2")[0]);
    QCOMPARE(titleFrame->textEncoding(), latin1 ? TagLib::String::Latin1 : TagLib::String::UTF16);

    // Only MPEG is taken, and a refused file must not leave the previous piece open for writing.
    QVERIFY(!tags.examineFile(ogg->path));
    tags.setTitle(u"Stray"_s);
    QVERIFY(!tags.updateFile());
}

QTEST_GUILESS_MAIN(TestTagApi)
#include "tst_tagapi.moc"
