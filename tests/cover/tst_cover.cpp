#include "core/cover/coverfile.h"
#include "core/cover/coversearch.h"
#include "support/audiofixture.h"
#include "support/files.h"
#include "support/pictures.h"
#include "support/splitters.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace velvane;
using namespace velvane::test;

namespace {

// Makes what a test names: "name" a picture, "name!" bytes that are no picture, "name/" a folder.
bool makeEntry(const QDir &dir, QString entry)
{
    if (entry.endsWith(u'/'))
        return dir.mkpath(entry);
    const bool broken = entry.endsWith(u'!');
    if (broken)
        entry.chop(1);
    dir.mkpath(QFileInfo(entry).path());
    return writeFile(dir.filePath(entry), broken ? pictureBytes("JPG").first(300) : pictureBytes("PNG"));
}

} // namespace

class tst_cover : public QObject
{
    Q_OBJECT

    QTemporaryDir m_albums;
    QString m_mp3, m_ogg, m_flac;

private slots:
    void initTestCase()
    {
        const auto mp3 = makeAlbum(m_albums.path(), AlbumFormat::Mp3Cbr, {1.2});
        const auto ogg = makeAlbum(m_albums.path(), AlbumFormat::Ogg, {1.2});
        QVERIFY(mp3 && ogg);
        m_mp3 = mp3->path;
        m_ogg = ogg->path;
        m_flac = m_albums.filePath(u"album.flac"_s);
        QCOMPARE(runTool(u"ffmpeg"_s, {u"-v"_s, u"error"_s, u"-i"_s, m_mp3, m_flac}).exitCode, 0);
    }

    void reading_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("mimeType"); // empty: refused
        QTest::addColumn<QString>("problem");  // "not a regular file": a fifo stands there, which must not block
        const QByteArray jpeg = pictureBytes("JPG"), png = pictureBytes("PNG");
        QTest::newRow("png") << png << u"image/png"_s << QString();
        QTest::newRow("jpeg with bytes after its end") << jpeg + "trailer" << u"image/jpeg"_s << QString();
        QTest::newRow("jpeg cut short") << jpeg.first(jpeg.size() * 2 / 3) << QString() << u"cut short"_s;
        QTest::newRow("png header, then garbage")
            << png.first(16) + QByteArray(2000, '\x5a') << QString() << u"does not decode"_s;
        QTest::newRow("bmp") << pictureBytes("BMP") << QString() << u"not a JPEG or PNG"_s;
        QTest::newRow("empty") << QByteArray() << QString() << u"empty"_s;
        QTest::newRow("over 16 MB") << jpeg + QByteArray(coverSizeLimit, '\0') << QString() << u"larger than 16 MB"_s;
        QTest::newRow("a fifo") << QByteArray() << QString() << u"not a regular file"_s;
    }
    void reading()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, mimeType);
        QFETCH(QString, problem);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"cover.jpg"_s);
        if (problem.contains(u"regular"_s))
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else
            QVERIFY(writeFile(path, bytes));

        const CoverReading reading = readCoverFile(path);
        QCOMPARE(reading.image.has_value(), !mimeType.isEmpty());
        QVERIFY2(reading.image || reading.problem.contains(problem), qPrintable(reading.problem));
        if (!reading.image)
            return;
        QCOMPARE(reading.image->mimeType, mimeType);
        QCOMPARE(reading.image->data, bytes);
        QCOMPARE(QSize(reading.image->width, reading.image->height), QSize(64, 48));
    }

    void search_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("taken"); // empty: none
        QTest::addColumn<bool>("refusal");
        QTest::newRow("cover before folder") << QStringList{u"folder.jpg"_s, u"cover.png"_s} << u"cover.png"_s << false;
        QTest::newRow("any case") << QStringList{u"COVER.JpEg"_s} << u"COVER.JpEg"_s << false;
        QTest::newRow("the album's own name") << QStringList{u"jazz.PNG"_s, u"back.jpg"_s} << u"jazz.PNG"_s << false;
        QTest::newRow("beside before Scans")
            << QStringList{u"Scans/cover.jpg"_s, u"album.jpg"_s} << u"album.jpg"_s << false;
        QTest::newRow("Artwork, any case") << QStringList{u"aRTWORK/folder.png"_s} << u"aRTWORK/folder.png"_s << false;
        QTest::newRow("a broken one is passed over and told")
            << QStringList{u"cover.jpg!"_s, u"folder.jpg"_s} << u"folder.jpg"_s << true;
        QTest::newRow("only a broken one") << QStringList{u"cover.jpg!"_s} << QString() << true;
        QTest::newRow("a folder named cover.jpg is passed over")
            << QStringList{u"cover.jpg/"_s, u"folder.jpg"_s} << u"folder.jpg"_s << false;
        QTest::newRow("other names") << QStringList{u"back.jpg"_s, u"cover.gif"_s, u"cover.jpg.bak"_s,
                                                    u"Scans/cd.jpg"_s}
                                     << QString() << false;
    }
    void search()
    {
        QFETCH(QStringList, entries);
        QFETCH(QString, taken);
        QFETCH(bool, refusal);
        QTemporaryDir dir;
        for (const QString &entry : std::as_const(entries))
            QVERIFY(makeEntry(QDir(dir.path()), entry));
        // The album file need not be there for what stands beside it.
        const CoverSearch search = findAlbumCover(dir.filePath(u"Jazz.mp3"_s));
        QCOMPARE(search.source, taken.isEmpty() ? QString() : dir.filePath(taken));
        QCOMPARE(search.image.has_value(), !taken.isEmpty());
        QCOMPARE(!search.refusal.isEmpty(), refusal);
    }

    void embedded_data()
    {
        QTest::addColumn<QString>("album");
        QTest::addColumn<QByteArray>("picture"); // not a picture: refused
        QTest::newRow("mp3") << m_mp3 << pictureBytes("JPG");
        QTest::newRow("flac") << m_flac << pictureBytes("PNG");
        QTest::newRow("ogg") << m_ogg << pictureBytes("JPG");
        QTest::newRow("ogg, a picture that is none") << m_ogg << QByteArray(500, 'x');
    }
    // The album's own picture is taken, or refused by the album's name; one beside the album speaks for it first.
    void embedded()
    {
        QFETCH(QString, album);
        QFETCH(QByteArray, picture);
        const bool taken = picture.size() != 500;
        QTemporaryDir dir;
        const QString copy = dir.filePath(QFileInfo(album).fileName());
        QVERIFY(QFile::copy(album, copy) && findAlbumCover(copy).source.isEmpty() && embedPicture(copy, picture));
        const CoverSearch search = findAlbumCover(copy);
        QCOMPARE(search.image ? search.image->data : QByteArray(), taken ? picture : QByteArray());
        QCOMPARE(search.source, taken ? copy : QString());
        QVERIFY2(taken || search.refusal.contains(u"album.ogg"_s), qPrintable(search.refusal));
        QVERIFY(makeEntry(QDir(dir.path()), u"folder.png"_s));
        QCOMPARE(findAlbumCover(copy).source, dir.filePath(u"folder.png"_s));
    }
};

QTEST_GUILESS_MAIN(tst_cover)
#include "tst_cover.moc"
