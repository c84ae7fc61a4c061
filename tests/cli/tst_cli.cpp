#include "core/cue/linereader.h"
#include "support/audiofixture.h"
#include "support/files.h"
#include "support/pictures.h"
#include "support/splitters.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tpropertymap.h>

#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace velvane::test;

namespace {

// Tracks "Take: n/3" of Some Band at the given times, from an album named like an option; with a second FILE line
// before the last track when asked.
QByteArray sheet(const QStringList &times, bool secondFile = false)
{
    QByteArray text = "PERFORMER \"Some Band\"\nFILE \"-s.mp3\" MP3\n";
    for (int i = 0; i < times.size(); ++i) {
        if (secondFile && i == times.size() - 1)
            text += "FILE \"side 2.mp3\" MP3\n";
        text += u"TRACK %1 AUDIO\nTITLE \"Take: %1/3\"\nINDEX 01 %2\n"_s.arg(i + 1).arg(times[i]).toUtf8();
    }
    return text;
}

// The front cover of an MP3 piece as its tags hold it; empty when it has none.
QByteArray frontCover(const QString &path)
{
    TagLib::MPEG::File file(QFile::encodeName(path).constData());
    if (!file.ID3v2Tag())
        return {};
    for (const TagLib::ID3v2::Frame *frame : file.ID3v2Tag()->frameList("APIC")) {
        const auto *picture = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame *>(frame);
        if (picture && picture->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover)
            return QByteArray(picture->picture().data(), picture->picture().size());
    }
    return {};
}

} // namespace

class CliTest : public QObject
{
    Q_OBJECT

private slots:
    // A full run, a run failing every track, and bad input refused with the first failing check's text alone, before
    // anything is cut: meaningless values, and audio "files" that are none (a FIFO never ended). With --tags, the
    // cover found beside the album goes in, --cover gives another and --no-cover none; a found one that is no image
    // is a warning. Run without a display, as on a server.
    void split_data()
    {
        QTest::addColumn<QString>("arguments"); // split at "|"; CUE, OUT, GONE, DIR, FIFO: the sheet, dir/out, a lost
                                                // path, dir, a FIFO
        QTest::addColumn<QByteArray>("sheet");
        QTest::addColumn<int>("exitCode");     // 1 is brought about by a missing splitter
        QTest::addColumn<QString>("expected"); // the first line on stderr, stdout, the first piece's tags and picture
        const QByteArray good = sheet({u"00:00:00"_s, u"00:01:45"_s, u"00:03:15"_s}); // 1.6 s each
        const QString lost = u" not found! Please select one!\n"_s;
        const QString made = u"1 of 3: 01 Some Band - Take. 1.3.mp3\nAll 3 tracks made in OUT.\n"_s;
        const QString picture = u"Unsupported Data: APIC\nPICTURE="_s; // TagLib's properties leave pictures out
        QTest::newRow("every option, audio named relatively")
            << u"CUE|--numbered|--tags|--genre|Techno|--year| 1999 |--album|Given|--audio|-s.mp3|--dest|OUT"
               u"|--cover|back.png"_s
            << good << 0
            << made +
                   u"ALBUM=Given\nALBUMARTIST=Some Band\nARTIST=Some Band\nDATE=1999\nGENRE=Techno\n"
                   u"TITLE=Take: 1/3\nTRACKNUMBER=1/3\n"_s +
                   picture + u"back.png\n"_s;
        // Without --album, --year and --genre the sheet's own album, year and genre are taken.
        QTest::newRow("the sheet's album data")
            << u"CUE|--numbered|--tags|--no-cover|--dest|OUT"_s
            << QByteArray("TITLE Jazz\nREM DATE 1978-11-10\nREM GENRE \"Hard Rock\"\nREM DISCNUMBER 2/3\nCATALOG 0077\n"
                          "REM COMMENT EAC\nREM REPLAYGAIN_ALBUM_GAIN -6.5 dB\n" +
                          good)
                   .replace("INDEX 01 00:00:00", "SONGWRITER Ann\nISRC GBAYE0000351\nINDEX 01 00:00:00\n"
                                                 "REM REPLAYGAIN_TRACK_PEAK 0.9")
            << 0
            << made + u"ALBUM=Jazz\nALBUMARTIST=Some Band\nARTIST=Some Band\nBARCODE=0077\nCOMMENT=EAC\n"
                      u"COMPOSER=Ann\nDATE=1978\nDISCNUMBER=2/3\nGENRE=Hard Rock\nISRC=GBAYE0000351\n"
                      u"REPLAYGAIN_ALBUM_GAIN=-6.5 dB\nREPLAYGAIN_TRACK_PEAK=0.9\nTITLE=Take: 1/3\nTRACKNUMBER=1/3\n"_s;
        // Written on another machine, the FILE line names a path that is not there: the album of that name beside
        // the sheet is cut.
        QTest::newRow("audio beside the sheet")
            << u"CUE|--numbered|--dest|OUT"_s
            << QByteArray(good).replace("\"-s.mp3\"", "\"C:\\Music\\Some Band\\-s.mp3\"") << 0 << made;
        const QString tagged = u"CUE|--numbered|--tags|--album|A|--year|0|--dest|OUT"_s;
        const QString tags = u"ALBUM=A\nALBUMARTIST=Some Band\nARTIST=Some Band\nTITLE=Take: 1/3\nTRACKNUMBER=1/3\n"_s;
        QTest::newRow("cover found") << tagged << good << 0 << made + tags + picture + u"cover.jpg\n"_s;
        QTest::newRow("cover found cut short") << tagged << good << 0
                                               << u"Warning: The cover “cover.jpg” is not embedded: it is a JPEG image "
                                                  u"cut short.\nAll 3 tracks made in OUT.\n"_s +
                                                      tags;
        QTest::newRow("splitter missing, sheet named relatively, year 0 for none") // run in the sheet's folder
            << u"album.cue|--tags|--year|0"_s << good << 1
            << u"1 of 3: Some Band - Take. 1.3.mp3 FAILED: The splitter /nonexistent/mp3splt could not be started.\n"
               u"3 of 3 tracks failed: tracks 1, 2 and 3.\n"_s;
        QTest::newRow("folder as sheet") << u"OUT|--audio|GONE"_s << good << 2 << u"Cue-file"_s + lost;
        QTest::newRow("audio nowhere") << u"CUE"_s << QByteArray(good).replace("-s.mp3", "C:\\Music\\gone.mp3") << 2
                                       << u"Audio-file"_s + lost;
        QTest::newRow("no tracks") << u"CUE"_s << QByteArray("FILE \"-s.mp3\" MP3\n") << 2
                                   << u"The cue sheet lists no tracks.\n"_s;
        QTest::newRow("backwards") << u"CUE"_s << sheet({u"00:02:00"_s, u"00:01:00"_s}) << 2
                                   << u"Track 2 starts at 00:01:00, not after the track before it.\n"_s;
        QTest::newRow("one --audio for two files")
            << u"CUE|--audio|-s.mp3"_s << sheet({u"00:00:00"_s, u"00:00:00"_s}, true) << 2
            << u"The cue sheet names 2 audio files; --audio can only stand in for a single one.\n"_s;
        QTest::newRow("usage") << u"--numbered"_s << good << 2
                               << u"usage: velvane-split --tracks FILE.cue|FILE.flac [--encoding NAME]\n"_s;
        QTest::newRow("unknown option") << u"CUE|--bogus"_s << good << 2 << u"Unknown option 'bogus'.\n"_s;
        const QString year = u"--year takes a year from 0 to 9999 (0 writes none), not \"%1\".\n"_s;
        QTest::newRow("year of letters") << u"CUE|--year|abc"_s << good << 2 << year.arg(u"abc"_s);
        QTest::newRow("year past 9999") << u"CUE|--year|10000"_s << good << 2 << year.arg(u"10000"_s);
        const QString stall = u"--stall-timeout takes a number of seconds from 1 to 86400.\n"_s;
        QTest::newRow("stall time-out of a tenth of a millisecond")
            << u"CUE|--stall-timeout|0.0001"_s << good << 2 << stall;
        QTest::newRow("stall time-out not a number") << u"CUE|--stall-timeout|nan"_s << good << 2 << stall;
        QTest::newRow("--cover, no image") << u"CUE|--tags|--cover|CUE"_s << good << 2
                                           << u"The cover “CUE” is not embedded: it is not a JPEG or PNG image.\n"_s;
        QTest::newRow("--cover and --no-cover") << u"CUE|--tags|--cover|CUE|--no-cover"_s << good << 2
                                                << u"--cover and --no-cover cannot be given together.\n"_s;
        const QString notAFile = u"The audio file \"%1\" is not a regular file.\n"_s;
        QTest::newRow("audio a FIFO") << u"CUE|--audio|FIFO"_s << good << 2 << notAFile.arg(u"FIFO"_s);
        // A sheet that cannot be read, a FIFO, or an album taken for a sheet: the program, the path, the reason.
        QTest::newRow("listing a lost sheet")
            << u"--tracks|GONE"_s << good << 2 << u"velvane-split: GONE: No such file or directory\n"_s;
        QTest::newRow("listing a FIFO") << u"--tracks|FIFO"_s << good << 2
                                        << u"velvane-split: FIFO: Not a regular file\n"_s;
        QTest::newRow("listing an album")
            << u"--tracks|DIR/huge.cue"_s << good << 2
            << u"velvane-split: DIR/huge.cue: Too large for a cue sheet (over %1 MB)\n"_s.arg(
                   velvane::cueSheetSizeLimit >> 20);
    }
    void split()
    {
        QFETCH(QString, arguments);
        QFETCH(QByteArray, sheet);
        QFETCH(int, exitCode);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString out = dir.filePath(u"out"_s), fifo = dir.filePath(u"fifo"_s);
        QVERIFY(writeFile(dir.filePath(u"album.cue"_s), sheet) && QDir(dir.path()).mkdir(u"out"_s) &&
                makeAlbum(dir.path(), AlbumFormat::Mp3Cbr, {1.6, 1.6, 1.6}, u"-s"_s));
        QFile huge(dir.filePath(u"huge.cue"_s));
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(velvane::cueSheetSizeLimit + 1));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const QByteArray cover = pictureBytes("JPG", 120, 120), back = pictureBytes("PNG");
        const bool cutShort = QByteArray(QTest::currentDataTag()).endsWith("cut short");
        QVERIFY(writeFile(dir.filePath(u"back.png"_s), back) &&
                writeFile(dir.filePath(u"cover.jpg"_s), cutShort ? cover.first(cover.size() / 2) : cover));
        const auto paths = [&](QString text) {
            return text.replace(u"CUE"_s, dir.filePath(u"album.cue"_s))
                .replace(u"OUT"_s, out)
                .replace(u"GONE"_s, dir.filePath(u"gone"_s))
                .replace(u"DIR"_s, dir.path())
                .replace(u"FIFO"_s, fifo);
        };

        const ToolRun run =
            runTool(u"env"_s,
                    QStringList{u"-u"_s, u"QT_QPA_PLATFORM"_s, u"-u"_s, u"DISPLAY"_s, u"" VELVANE_SPLIT_BINARY ""_s} +
                        paths(arguments).split(u'|'),
                    dir.path(), exitCode == 1 ? u"/nonexistent/mp3splt"_s : QString());
        const QStringList errors = QString::fromUtf8(run.err).split(u'\n');

        QCOMPARE(run.exitCode, exitCode);
        QCOMPARE(errors.filter(exitCode ? u" FAILED: "_s : u" of 3: "_s).size(), exitCode == 2 ? 0 : 3);
        // A hash would read the FIFO, and wait for a writer that never comes.
        QCOMPARE(entriesOf(dir.path()), (QStringList{u"-s.mp3"_s, u"album.cue"_s, u"back.png"_s, u"cover.jpg"_s,
                                                     u"fifo"_s, u"huge.cue"_s, u"out"_s}));
        const QString first = out + u"/01 Some Band - Take. 1.3.mp3"_s;
        const TagLib::FileRef piece(QFile::encodeName(first).constData());
        const auto tags = piece.isNull() ? TagLib::String() : piece.file()->properties().toString();
        const QByteArray picture = frontCover(first);
        const QString name = picture == back ? u"back.png"_s : picture == cover ? u"cover.jpg"_s : u"another"_s;
        const QString output = QString::fromUtf8(run.out + tags.toCString(true)) +
                               (picture.isEmpty() ? QString() : u"PICTURE=%1\n"_s.arg(name));
        QCOMPARE(errors.constFirst() + u'\n' + output, paths(expected));
    }

    // A relative path in, absolute paths out, keys in a fixed order, one track a line, each with its own file. Nothing
    // that a terminal would act on: DEL, C1 controls and bidirectional overrides and isolates are escaped like the C0
    // controls, and the JSON stays valid. A FILE line written on another machine names a path that is not there: the
    // album of that name beside the sheet is taken, and said to be; a path that is there as written keeps priority.
    void tracks_data()
    {
        QTest::addColumn<QByteArray>("fileLine");
        QTest::addColumn<QString>("taken"); // relative to the sheet's folder
        QTest::addColumn<QString>("foundBeside");
        QTest::newRow("Windows path") << QByteArray("FILE \"C:\\Music\\Some Band\\-s.mp3\" MP3") << u"-s.mp3"_s
                                      << uR"([{"written": "C:\\Music\\Some Band\\-s.mp3", "taken": "%1/-s.mp3"}]})"_s;
        QTest::newRow("there as written") << QByteArray("FILE \"disc/-s.mp3\" MP3") << u"disc/-s.mp3"_s << u"[]}"_s;
    }
    void tracks()
    {
        QFETCH(QByteArray, fileLine);
        QFETCH(QString, taken);
        QFETCH(QString, foundBeside);
        QTemporaryDir dir;
        const QString folder = QDir(dir.path()).canonicalPath() + u"/Music/Live 1999"_s;
        QVERIFY(QDir().mkpath(folder + u"/disc"_s) && writeFile(folder + u"/-s.mp3"_s, "audio") &&
                writeFile(folder + u"/disc/-s.mp3"_s, "audio"));
        QVERIFY(writeFile(folder + u"/live.cue"_s,
                          "PERFORMER \"The Band\"\n" + fileLine +
                              "\nTRACK 01 AUDIO\nTITLE Intro\nINDEX 01 00:00:00\nFILE \"Bonus.ogg\" OGG\n"
                              "TRACK 02 AUDIO\nTITLE \"" +
                              u"\u001b[1mA\u007f\u009b2J\u202eB\u2066C\u2069"_s.toUtf8() + "\"\nINDEX 01 00:31:05\n"));

        const ToolRun run = runSplit({u"--tracks"_s, u"Music/Live 1999/live.cue"_s}, dir.path());
        QVERIFY2(run.exitCode == 0 && run.err.isEmpty(), run.err);
        const QStringList lines = QString::fromUtf8(run.out).split(u'\n');
        QCOMPARE(lines.value(0), uR"({"destination": "%1", "album": "Live 1999", "audio": "%1/%2", )"
                                 uR"("isOgg": false, "encoding": "UTF-8",)"_s.arg(folder, taken));
        QCOMPARE(lines.mid(2),
                 (QStringList{uR"( "tracks": [{"title": "Intro", "performer": "The Band", "index": "00:00:00", )"
                              uR"("file": "%1/%2"},)"_s.arg(folder, taken),
                              uR"(  {"title": "%2", "performer": "The Band", "index": "00:31:05", )"
                              uR"("file": "%1/Bonus.ogg"}],)"_s.arg(
                                  folder, u"\\u001b[1mA\\u007f\\u009b2J\\u202eB\\u2066C\\u2069"_s),
                              u" \"foundBesideSheet\": "_s + foundBeside.replace(u"%1"_s, folder), QString()}));
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
