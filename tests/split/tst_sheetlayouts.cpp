#include "support/audiofixture.h"
#include "support/files.h"
#include "support/splitters.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <taglib/fileref.h>
#include <taglib/tpropertymap.h>

using namespace Qt::StringLiterals;
using namespace velvane::test;

namespace {

// One audio file of a layout: its name, format and track lengths, and where its tones start.
struct AudioFileLayout
{
    QString name;
    AlbumFormat format;
    QList<double> durations; // seconds, whole 1/75 s
    int firstTone;
};

} // namespace

// Sheets as rippers write them, cut with real audio: every track a piece, each from its own file and tagged as
// named, and the pieces of each file joined give that file back, nothing missing and nothing twice.
class SheetLayoutsTest : public QObject
{
    Q_OBJECT

private slots:
    void layouts_data()
    {
        QTest::addColumn<QList<AudioFileLayout>>("files");
        QTest::addColumn<QString>("sheet");         // %FILEn% and %Tn% (start of track n within its file) are filled
        QTest::addColumn<QStringList>("pieces");    // the pieces made, in name order
        QTest::addColumn<QList<int>>("pieceTones"); // the tone each piece holds, by firstTone + track

        const AudioFileLayout one{u"album.mp3"_s, AlbumFormat::Mp3Cbr, {1.6, 2.0, 1.6}, 0};
        QTest::newRow("FILE before the album header")
            << QList<AudioFileLayout>{one}
            << u"FILE \"album.mp3\" MP3\nPERFORMER \"Various\"\nTITLE \"A Tribute\"\n"
               u"TRACK 01 AUDIO\n TITLE \"One\"\n PERFORMER \"Band A\"\n INDEX 01 %T1%\n"
               u"TRACK 02 AUDIO\n TITLE \"Two\"\n INDEX 01 %T2%\nTRACK 03 AUDIO\n TITLE \"Three\"\n INDEX 01 %T3%\n"_s
            << QStringList{u"01 Band A - One.mp3"_s, u"02 Various - Two.mp3"_s, u"03 Various - Three.mp3"_s}
            << QList<int>{0, 1, 2};

        const AudioFileLayout disc1{u"CD1.ogg"_s, AlbumFormat::Ogg, {1.6, 1.2, 2.0}, 0};
        const AudioFileLayout disc2{u"CD2.mp3"_s, AlbumFormat::Mp3Cbr, {1.6, 1.6}, 3};
        QTest::newRow("two discs, Ogg and MP3")
            << QList<AudioFileLayout>{disc1, disc2}
            << u"PERFORMER \"Band\"\nREM DISCNUMBER 1\nFILE \"CD1.ogg\" WAVE\n"
               u"TRACK 01 AUDIO\n TITLE \"1.1\"\n INDEX 01 %T1%\nTRACK 02 AUDIO\n TITLE \"1.2\"\n INDEX 01 %T2%\n"
               u"TRACK 03 AUDIO\n TITLE \"1.3\"\n PERFORMER \"Guest\"\n INDEX 01 %T3%\n"
               u"FILE \"CD2.mp3\" MP3\nTRACK 01 AUDIO\n TITLE \"2.1\"\n INDEX 01 %T4%\n"
               u"TRACK 02 AUDIO\n TITLE \"2.2\"\n INDEX 01 %T5%\n"_s
            << QStringList{u"01 Band - 1.1.ogg"_s, u"02 Band - 1.2.ogg"_s, u"03 Guest - 1.3.ogg"_s,
                           u"04 Band - 2.1.mp3"_s, u"05 Band - 2.2.mp3"_s}
            << QList<int>{0, 1, 2, 3, 4};

        // The pregap of track 2 stands at the end of file 1, its INDEX 01 at the start of file 2.
        QList<AudioFileLayout> perTrack;
        for (int i = 0; i < 3; ++i)
            perTrack << AudioFileLayout{u"%1.mp3"_s.arg(i + 1), AlbumFormat::Mp3Cbr, {1.2 + 0.4 * i}, i};
        QTest::newRow("one file per track")
            << perTrack
            << u"PERFORMER \"Band\"\nFILE \"1.mp3\" MP3\nTRACK 01 AUDIO\n TITLE \"One\"\n INDEX 01 00:00:00\n"
               u"TRACK 02 AUDIO\n TITLE \"Two\"\n INDEX 00 00:01:00\nFILE \"2.mp3\" MP3\n INDEX 01 00:00:00\n"
               u"TRACK 03 AUDIO\n TITLE \"Three\"\nFILE \"3.mp3\" MP3\n INDEX 01 00:00:00\n"_s
            << QStringList{u"01 Band - One.mp3"_s, u"02 Band - Two.mp3"_s, u"03 Band - Three.mp3"_s}
            << QList<int>{0, 1, 2};

        // Tracks numbered on across files. Only the sheet's first track can hide a track before it: a later file's
        // lead-in, however long, joins that file's first track.
        const AudioFileLayout sideA{u"Side 1.mp3"_s, AlbumFormat::Mp3Cbr, {1.6, 2.0}, 0};
        const AudioFileLayout leadIn{u"Side 2.mp3"_s, AlbumFormat::Mp3Cbr, {12.0, 1.6, 1.6}, 4};
        QTest::newRow("two sides, long lead-in of the second")
            << QList<AudioFileLayout>{sideA, leadIn}
            << u"PERFORMER \"Band\"\nFILE \"Side 1.mp3\" MP3\nTRACK 01 AUDIO\n TITLE \"A1\"\n INDEX 01 %T1%\n"
               u"TRACK 02 AUDIO\n TITLE \"A2\"\n INDEX 01 %T2%\nFILE \"Side 2.mp3\" MP3\n"
               u"TRACK 03 AUDIO\n TITLE \"B1\"\n INDEX 01 %T4%\nTRACK 04 AUDIO\n TITLE \"B2\"\n INDEX 01 %T5%\n"_s
            << QStringList{u"01 Band - A1.mp3"_s, u"02 Band - A2.mp3"_s, u"03 Band - B1.mp3"_s, u"04 Band - B2.mp3"_s}
            << QList<int>{0, 1, 4, 6};

        // Less than ten seconds before track 1 is its lead-in; ten or more are a hidden track, a piece of its own.
        const QString pregapSheet = u"PERFORMER \"Band\"\nFILE \"album.mp3\" MP3\nTRACK 01 AUDIO\n TITLE \"One\"\n"
                                    u" INDEX 00 00:00:00\n INDEX 01 %T2%\nTRACK 02 AUDIO\n TITLE \"Two\"\n"
                                    u" INDEX 01 %T3%\n"_s;
        QTest::newRow("short pregap")
            << QList<AudioFileLayout>{{u"album.mp3"_s, AlbumFormat::Mp3Cbr, {0.52, 1.6, 1.6}, 0}} << pregapSheet
            << QStringList{u"01 Band - One.mp3"_s, u"02 Band - Two.mp3"_s} << QList<int>{1, 2};
        QTest::newRow("hidden track of exactly ten seconds")
            << QList<AudioFileLayout>{{u"album.mp3"_s, AlbumFormat::Mp3Cbr, {10.0, 1.6, 1.6}, 0}} << pregapSheet
            << QStringList{u"00 Band - Pregap.mp3"_s, u"01 Band - One.mp3"_s, u"02 Band - Two.mp3"_s}
            << QList<int>{0, 1, 2};
    }
    void layouts()
    {
        QFETCH(QList<AudioFileLayout>, files);
        QFETCH(QString, sheet);
        QFETCH(QStringList, pieces);
        QFETCH(QList<int>, pieceTones);
        QTemporaryDir dir;
        QList<Album> albums;
        QList<double> allTones;
        int track = 0;
        for (const AudioFileLayout &layout : files) {
            const QString base = layout.name.left(layout.name.lastIndexOf(u'.'));
            const auto album = makeAlbum(dir.path(), layout.format, layout.durations, base, layout.firstTone);
            QVERIFY(album);
            albums << *album;
            allTones << album->tones;
            double start = 0;
            for (double duration : layout.durations) {
                sheet.replace(u"%T"_s + QString::number(++track) + u'%', cueTime(qRound64(start * 75)));
                start += duration;
            }
        }
        QVERIFY(writeFile(dir.filePath(u"album.cue"_s), sheet.toUtf8()) && QDir(dir.path()).mkdir(u"out"_s));

        const ToolRun run = runSplit({u"album.cue"_s, u"--numbered"_s, u"--tags"_s, u"--dest"_s, u"out"_s}, dir.path());
        QVERIFY2(run.exitCode == 0, run.err);

        const QDir out(dir.filePath(u"out"_s));
        QCOMPARE(entriesOf(out.path()), pieces);
        QList<QList<qint16>> joined(albums.size());
        for (qsizetype i = 0; i < pieces.size(); ++i) {
            const auto pcm = decodePcm(out.filePath(pieces[i]));
            QVERIFY(pcm);
            const double tone = dominantTone(*pcm, allTones);
            QCOMPARE(tone, trackTone(pieceTones[i]));
            const auto album =
                std::find_if(albums.cbegin(), albums.cend(), [&](const Album &a) { return a.tones.contains(tone); });
            joined[album - albums.cbegin()] += *pcm;
            // The pregap's piece is track 0, beside the sheet's tracks.
            const TagLib::FileRef file(QFile::encodeName(out.filePath(pieces[i])).constData());
            QVERIFY(!file.isNull());
            const TagLib::PropertyMap tags = file.file()->properties();
            const auto tag = [&](const char *key) {
                return QString::fromUtf8(tags[key].toString().toCString(true));
            };
            const QString number = tag("TRACKNUMBER");
            const QString total = pieces[i].endsWith(u".ogg"_s) ? tag("TRACKTOTAL") : number.section(u'/', 1);
            QCOMPARE(u"%1 %2 - %3.%4 of %5"_s.arg(number.section(u'/', 0, 0).rightJustified(2, u'0'), tag("ARTIST"),
                                                  tag("TITLE"), QFileInfo(pieces[i]).suffix(), total),
                     pieces[i] + u" of "_s + QString::number(pieces.size() - pieces[0].startsWith(u"00 "_s)));
        }
        for (qsizetype i = 0; i < albums.size(); ++i) {
            const auto whole = decodePcm(albums[i].path);
            QVERIFY(whole);
            QCOMPARE(joined[i], *whole);
        }
    }
};

QTEST_GUILESS_MAIN(SheetLayoutsTest)
#include "tst_sheetlayouts.moc"
