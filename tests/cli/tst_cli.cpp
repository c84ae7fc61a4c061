#include "core/cue/cuereading.h"
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
    // A full run, a run failing every track, and bad input refused with the first failing check's text alone.
    void split_data()
    {
        QTest::addColumn<QString>("arguments"); // split at "|"; CUE, OUT and GONE: the sheet, dir/out, a lost path
        QTest::addColumn<QByteArray>("sheet");
        QTest::addColumn<int>("exitCode");     // 1 is brought about by a missing splitter
        QTest::addColumn<QString>("expected"); // the first line on stderr, stdout, the tags of the first piece in OUT
        const QByteArray good = sheet({u"00:00:00"_s, u"00:01:45"_s, u"00:03:15"_s}); // 1.6 s each
        const QString lost = u" not found! Please select one!\n"_s;
        QTest::newRow("every option, audio named relatively")
            << u"CUE|--numbered|--tags|--genre|Techno|--year| 1999 |--album|Given|--audio|-s.mp3|--dest|OUT"_s << good
            << 0
            << u"1 of 3: 01 Some Band - Take. 1.3.mp3\nAll 3 tracks made in OUT.\nALBUM=Given\nALBUMARTIST=Some Band\n"
               u"ARTIST=Some Band\nDATE=1999\nGENRE=Techno\nTITLE=Take: 1/3\nTRACKNUMBER=1/3\n"_s;
        // Without --album, --year and --genre the sheet's own album, year and genre are taken.
        QTest::newRow("the sheet's album data")
            << u"CUE|--numbered|--tags|--dest|OUT"_s
            << QByteArray("TITLE Jazz\nREM DATE 1978-11-10\nREM GENRE \"Hard Rock\"\nREM DISCNUMBER 2/3\nCATALOG 0077\n"
                          "REM COMMENT EAC\nREM REPLAYGAIN_ALBUM_GAIN -6.5 dB\n" +
                          good)
                   .replace("INDEX 01 00:00:00", "SONGWRITER Ann\nISRC GBAYE0000351\nINDEX 01 00:00:00\n"
                                                 "REM REPLAYGAIN_TRACK_PEAK 0.9")
            << 0
            << u"1 of 3: 01 Some Band - Take. 1.3.mp3\nAll 3 tracks made in OUT.\nALBUM=Jazz\nALBUMARTIST=Some Band\n"
               u"ARTIST=Some Band\nBARCODE=0077\nCOMMENT=EAC\nCOMPOSER=Ann\nDATE=1978\nDISCNUMBER=2/3\nGENRE=Hard "
               u"Rock\n"
               u"ISRC=GBAYE0000351\nREPLAYGAIN_ALBUM_GAIN=-6.5 dB\nREPLAYGAIN_TRACK_PEAK=0.9\nTITLE=Take: 1/3\n"
               u"TRACKNUMBER=1/3\n"_s;
        QTest::newRow("splitter missing, sheet named relatively, year 0 for none") // run in the sheet's folder
            << u"album.cue|--tags|--year|0"_s << good << 1
            << u"1 of 3: Some Band - Take. 1.3.mp3 FAILED: The splitter /nonexistent/mp3splt could not be started.\n"
               u"3 of 3 tracks failed: tracks 1, 2 and 3.\n"_s;
        QTest::newRow("folder as sheet") << u"OUT|--audio|GONE"_s << good << 2 << u"Cue-file"_s + lost;
        QTest::newRow("file as destination") << u"CUE|--dest|CUE"_s << good << 2 << u"Destination directory"_s + lost;
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
    }
    void split()
    {
        QFETCH(QString, arguments);
        QFETCH(QByteArray, sheet);
        QFETCH(int, exitCode);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString out = dir.filePath(u"out"_s);
        QVERIFY(writeFile(dir.filePath(u"album.cue"_s), sheet) && QDir(dir.path()).mkdir(u"out"_s));
        QVERIFY(makeAlbum(dir.path(), AlbumFormat::Mp3Cbr, {1.6, 1.6, 1.6}, u"-s"_s));
        arguments.replace(u"CUE"_s, dir.filePath(u"album.cue"_s))
            .replace(u"OUT"_s, out)
            .replace(u"GONE"_s, dir.filePath(u"gone"_s));

        const ToolRun run =
            runSplit(arguments.split(u'|'), dir.path(), exitCode == 1 ? u"/nonexistent/mp3splt"_s : QString());
        const QStringList errors = QString::fromUtf8(run.err).split(u'\n');

        QCOMPARE(run.exitCode, exitCode);
        QCOMPARE(errors.filter(exitCode ? u" FAILED: "_s : u" of 3: "_s).size(), exitCode == 2 ? 0 : 3);
        QCOMPARE(entriesOf(dir.path()), (QStringList{u"-s.mp3"_s, u"album.cue"_s, u"out"_s}));
        const TagLib::FileRef piece(QFile::encodeName(out + u"/01 Some Band - Take. 1.3.mp3"_s).constData());
        const auto tags = piece.isNull() ? TagLib::String() : piece.file()->properties().toString();
        const QString output = QString::fromUtf8(run.out + tags.toCString(true));
        QCOMPARE(errors.constFirst() + u'\n' + output, expected.replace(u"OUT"_s, out));
    }

    // Meaningless values, and audio "files" that are none (a FIFO never ended), are refused before anything is cut.
    void badValues_data()
    {
        QTest::addColumn<QString>("arguments"); // split at "|"; CUE, DIR and FIFO: the sheet, a folder, a FIFO
        QTest::addColumn<QString>("expected");  // all of stderr
        const QString year = u"--year takes a year from 0 to 9999 (0 writes none), not \"%1\".\n"_s;
        QTest::newRow("year of letters") << u"CUE|--year|abc"_s << year.arg(u"abc"_s);
        QTest::newRow("negative year") << u"CUE|--year|-5"_s << year.arg(u"-5"_s);
        QTest::newRow("year past 32 bits") << u"CUE|--year|99999999999"_s << year.arg(u"99999999999"_s);
        QTest::newRow("year past 9999") << u"CUE|--year|10000"_s << year.arg(u"10000"_s);
        QTest::newRow("empty year") << u"CUE|--year|"_s << year.arg(QString());
        const QString stall = u"--stall-timeout takes a number of seconds from 1 to 86400.\n"_s;
        QTest::newRow("stall time-out of a tenth of a millisecond") << u"CUE|--stall-timeout|0.0001"_s << stall;
        QTest::newRow("stall time-out not a number") << u"CUE|--stall-timeout|nan"_s << stall;
        const QString notAFile = u"The audio file \"%1\" is not a regular file.\n"_s;
        QTest::newRow("audio a folder") << u"CUE|--audio|DIR"_s << notAFile.arg(u"DIR"_s);
        QTest::newRow("audio a FIFO") << u"CUE|--audio|FIFO"_s << notAFile.arg(u"FIFO"_s);
        QTest::newRow("audio /dev/zero") << u"CUE|--audio|/dev/zero"_s << notAFile.arg(u"/dev/zero"_s);
        QTest::newRow("sheet names a folder") << u"CUE|--dest|DIR"_s << notAFile.arg(u"DIR/-s.mp3"_s);
    }
    void badValues()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString folder = dir.filePath(u"folder"_s), fifo = dir.filePath(u"fifo"_s);
        QVERIFY(writeFile(dir.filePath(u"album.cue"_s), sheet({u"00:00:00"_s, u"00:01:45"_s})));
        // The album is never cut: the splitter is missing, so a bad value let through fails every track.
        QVERIFY(writeFile(dir.filePath(u"-s.mp3"_s), "not audio"));
        QVERIFY(QDir(dir.path()).mkpath(u"folder/-s.mp3"_s));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const QString cue = dir.filePath(u"album.cue"_s);
        arguments.replace(u"CUE"_s, cue).replace(u"DIR"_s, folder).replace(u"FIFO"_s, fifo);
        // The sheet's own album is a folder when the sheet is read from inside "folder".
        if (QTest::currentDataTag() == "sheet names a folder"_L1) {
            QVERIFY(QFile::copy(cue, folder + u"/album.cue"_s));
            arguments.replace(cue, folder + u"/album.cue"_s);
        }

        const ToolRun run = runSplit(arguments.split(u'|'), dir.path(), u"/nonexistent/mp3splt"_s);

        QCOMPARE(run.exitCode, 2);
        QCOMPARE(QString::fromUtf8(run.err), expected.replace(u"DIR"_s, folder).replace(u"FIFO"_s, fifo));
        QCOMPARE(run.out, QByteArray());
        QFile::remove(folder + u"/album.cue"_s);
        // A hash would read the FIFO, and wait for a writer that never comes.
        QCOMPARE(entriesOf(dir.path()), (QStringList{u"-s.mp3"_s, u"album.cue"_s, u"fifo"_s, u"folder"_s}));
        QCOMPARE(entriesOf(folder), QStringList{u"-s.mp3"_s});
    }

    // A FILE line written on another machine names a path that is not there; the album of that name beside the
    // sheet is taken, --tracks says so, and the split cuts it. A path that is there as written keeps priority.
    void audioBesideTheSheet_data()
    {
        QTest::addColumn<QByteArray>("fileLine");
        QTest::addColumn<QString>("taken"); // relative to the sheet's folder
        QTest::addColumn<bool>("foundBeside");
        QTest::newRow("Windows path") << QByteArray("FILE \"C:\\Music\\Some Band\\-s.mp3\" MP3") << u"-s.mp3"_s << true;
        QTest::newRow("another machine's home") << QByteArray("FILE /home/someone/-s.mp3 MP3") << u"-s.mp3"_s << true;
        QTest::newRow("there as written") << QByteArray("FILE \"disc/-s.mp3\" MP3") << u"disc/-s.mp3"_s << false;
        QTest::newRow("nowhere") << QByteArray("FILE \"C:\\Music\\gone.mp3\" MP3") << u"C:\\Music\\gone.mp3"_s << false;
    }
    void audioBesideTheSheet()
    {
        QFETCH(QByteArray, fileLine);
        QFETCH(QString, taken);
        QFETCH(bool, foundBeside);
        QTemporaryDir dir;
        const QString folder = QDir(dir.path()).canonicalPath();
        QVERIFY(makeAlbum(folder, AlbumFormat::Mp3Cbr, {1.6, 1.6}, u"-s"_s));
        QVERIFY(QDir(folder).mkdir(u"disc"_s) && QFile::copy(folder + u"/-s.mp3"_s, folder + u"/disc/-s.mp3"_s));
        QByteArray text = sheet({u"00:00:00"_s, u"00:01:45"_s});
        text.replace("FILE \"-s.mp3\" MP3", fileLine);
        QVERIFY(writeFile(folder + u"/album.cue"_s, text));
        const QString path = folder + u'/' + taken;

        const ToolRun tracks = runSplit({u"--tracks"_s, folder + u"/album.cue"_s});
        QCOMPARE(tracks.exitCode, 0);
        const QString json = QString::fromUtf8(tracks.out);
        QVERIFY2(json.contains(uR"("audio": "%1")"_s.arg(path).replace(u"\\"_s, u"\\\\"_s)), qPrintable(json));
        QCOMPARE(json.count(uR"("file": "%1")"_s.arg(path).replace(u"\\"_s, u"\\\\"_s)), 2);
        const QString written = QString::fromUtf8(fileLine).section(u' ', 1, -2).remove(u'"');
        QCOMPARE(json.section(u"\n \"foundBesideSheet\": "_s, 1),
                 foundBeside
                     ? uR"([{"written": "%1", "taken": "%2"}]})"_s.arg(written, path).replace(u"\\"_s, u"\\\\"_s) +
                           u'\n'
                     : u"[]}\n"_s);

        const ToolRun split = runSplit({folder + u"/album.cue"_s, u"--numbered"_s}, folder);
        if (taken.contains(u"gone"_s)) {
            QCOMPARE(split.exitCode, 2);
            QCOMPARE(split.err, QByteArray("Audio-file not found! Please select one!\n"));
        } else {
            QVERIFY2(split.exitCode == 0, split.err);
            QVERIFY(QFile::exists(folder + u"/01 Some Band - Take. 1.3.mp3"_s));
        }
    }

    // Cue frames become the splitter's hundredths rounded, not cut: 1 s and 2 frames is 1.0267 s, so 1.03.
    void startTimesRoundedForTheSplitter()
    {
        QTemporaryDir dir;
        QVERIFY(makeAlbum(dir.path(), AlbumFormat::Mp3Cbr, {1.6, 1.6, 1.6}, u"-s"_s));
        QVERIFY(writeFile(dir.filePath(u"album.cue"_s),
                          sheet({u"00:00:00"_s, u"00:01:02"_s, u"00:02:74"_s, u"00:03:38"_s})));
        const QString arguments = dir.filePath(u"arguments"_s);
        const QString splitter =
            standInSplitter(dir.path(), "printf '%s\\n' \"$@\" >>'" + arguments.toUtf8() + "'; REAL");

        const ToolRun run = runSplit({dir.filePath(u"album.cue"_s), u"--dest"_s, dir.path()}, {}, splitter);

        QVERIFY2(run.exitCode == 0, run.err);
        const QStringList words = QString::fromUtf8(readFile(arguments)).split(u'\n');
        const qsizetype audio = words.indexOf(dir.filePath(u"-s.mp3"_s));
        QVERIFY2(audio > 0, qPrintable(words.join(u' ')));
        QCOMPARE(words.mid(audio + 1, 5),
                 (QStringList{u"0.00.00"_s, u"0.01.03"_s, u"0.02.99"_s, u"0.03.51"_s, u"EOF"_s}));
    }

    // A relative path in, absolute paths out, keys in a fixed order, one track a line, each with its own file. Nothing
    // that a terminal would act on: DEL, C1 controls and bidirectional overrides and isolates are escaped like the C0
    // controls, and the JSON stays valid.
    void tracks()
    {
        QTemporaryDir dir;
        const QString folder = QDir(dir.path()).canonicalPath() + u"/Music/Live 1999"_s;
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(writeFile(folder + u"/live.cue"_s,
                          "REM GENRE Electronic\nREM DATE 1999\nREM DISCNUMBER 1\nPERFORMER \"The Band\"\n"
                          "TITLE \"Live Album\"\nFILE \"Live Album.mp3\" MP3\n  TRACK 01 AUDIO\n    TITLE \"Intro\"\n"
                          "    SONGWRITER \"A. Writer\"\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n"
                          "    TITLE \"Second Song\"\n    PERFORMER \"The Band feat. Guest\"\n    INDEX 00 03:58:40\n"
                          "    INDEX 01 04:00:12\nFILE \"Bonus.ogg\" OGG\n  TRACK 03 AUDIO\n"
                          "    TITLE \"\x1b[1mA\x7f\xc2\x9b"
                          "2J\xe2\x80\xae"
                          "B\xe2\x81\xa6"
                          "C\xe2\x81\xa9\"\n"
                          "    INDEX 01 00:31:05\n"));

        const ToolRun run = runSplit({u"--tracks"_s, u"Music/Live 1999/live.cue"_s}, dir.path());
        QCOMPARE(run.err, QByteArray());
        QCOMPARE(run.exitCode, 0);
        // clang-format off
        QCOMPARE(QString::fromUtf8(run.out), uR"({"destination": "%1", "album": "Live 1999", "audio": "%1/Live Album.mp3", "isOgg": false, "encoding": "UTF-8",
 "sheetAlbum": {"title": "Live Album", "albumArtist": "The Band", "songwriter": "", "date": "1999", "genre": "Electronic", "catalog": "", "comment": "", "disc": 1, "totalDiscs": null, "replayGainAlbumGain": "", "replayGainAlbumPeak": ""},
 "tracks": [{"title": "Intro", "performer": "The Band", "index": "00:00:00", "file": "%1/Live Album.mp3", "songwriter": "A. Writer"},
  {"title": "Second Song", "performer": "The Band feat. Guest", "index": "04:00:12", "file": "%1/Live Album.mp3"},
  {"title": "%2", "performer": "The Band", "index": "00:31:05", "file": "%1/Bonus.ogg"}],
 "foundBesideSheet": []}
)"_s.arg(folder, u"\\u001b[1mA\\u007f\\u009b2J\\u202eB\\u2066C\\u2069"_s));
        // clang-format on

        // An unreadable sheet, a FIFO or an album taken for a sheet: one line, the program, the path, the reason.
        const QString fifo = folder + u"/fifo.cue"_s;
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QFile huge(folder + u"/album.mp3.cue"_s);
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(velvane::cueSheetSizeLimit + 1));
        for (const QString &unreadable : {folder + u"/missing.cue"_s, fifo, huge.fileName()}) {
            const ToolRun refused = runSplit({u"--tracks"_s, unreadable});
            QCOMPARE(refused.exitCode, 2);
            QCOMPARE(refused.out, QByteArray());
            QVERIFY2(refused.err.startsWith("velvane-split: " + unreadable.toUtf8() + ": ") &&
                         refused.err.indexOf('\n') == refused.err.size() - 1,
                     refused.err);
        }
    }

    // With --tags, the cover found beside the album goes into every piece, --cover gives another and --no-cover
    // none; a --cover that is no image is bad input, and a found one that is no image is a warning. Run without a
    // display, as on a server.
    void cover_data()
    {
        QTest::addColumn<QString>("arguments"); // split at "|"; DIR: the sheet's folder
        QTest::addColumn<bool>("brokenCoverFound");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("firstError");
        QTest::addColumn<QString>("embedded"); // the picture file each piece holds; empty: none
        const QString made = u"1 of 2: Some Band - Take. 1.3.mp3"_s;
        QTest::newRow("found") << u"--tags"_s << false << 0 << made << u"cover.jpg"_s;
        QTest::newRow("found, without tags") << QString() << false << 0 << made << QString();
        QTest::newRow("--no-cover") << u"--tags|--no-cover"_s << false << 0 << made << QString();
        QTest::newRow("--cover") << u"--tags|--cover|DIR/Scans/back.png"_s << false << 0 << made << u"Scans/back.png"_s;
        QTest::newRow("--cover, no image")
            << u"--tags|--cover|DIR/-s.mp3"_s << false << 2
            << u"The cover “DIR/-s.mp3” is not embedded: it is not a JPEG or PNG image."_s << QString();
        QTest::newRow("--cover and --no-cover") << u"--tags|--cover|DIR/Scans/back.png|--no-cover"_s << false << 2
                                                << u"--cover and --no-cover cannot be given together."_s << QString();
        QTest::newRow("found, no image") << u"--tags"_s << true << 0
                                         << u"Warning: The cover “cover.jpg” is not embedded: it is a JPEG image cut "
                                            u"short."_s
                                         << QString();
    }
    void cover()
    {
        QFETCH(QString, arguments);
        QFETCH(bool, brokenCoverFound);
        QFETCH(int, exitCode);
        QFETCH(QString, firstError);
        QFETCH(QString, embedded);
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath(u"album.cue"_s), sheet({u"00:00:00"_s, u"00:01:45"_s})));
        QVERIFY(makeAlbum(dir.path(), AlbumFormat::Mp3Cbr, {1.6, 1.6}, u"-s"_s));
        const QByteArray found = pictureBytes("JPG", 120, 120);
        QVERIFY(writeFile(dir.filePath(u"cover.jpg"_s), brokenCoverFound ? found.first(found.size() / 2) : found));
        QVERIFY(QDir(dir.path()).mkdir(u"Scans"_s) &&
                writeFile(dir.filePath(u"Scans/back.png"_s), pictureBytes("PNG")));
        arguments.replace(u"DIR"_s, dir.path());
        firstError.replace(u"DIR"_s, dir.path());

        const ToolRun run = runTool(u"env"_s, QStringList{u"-u"_s, u"QT_QPA_PLATFORM"_s, u"-u"_s, u"DISPLAY"_s,
                                                          u"" VELVANE_SPLIT_BINARY ""_s, dir.filePath(u"album.cue"_s)} +
                                                  arguments.split(u'|', Qt::SkipEmptyParts));

        QCOMPARE(run.exitCode, exitCode);
        QCOMPARE(QString::fromUtf8(run.err).section(u'\n', 0, 0), firstError);
        if (exitCode)
            return;
        const QByteArray picture = embedded.isEmpty() ? QByteArray() : readFile(dir.filePath(embedded));
        for (const QString &piece : {u"Some Band - Take. 1.3.mp3"_s, u"Some Band - Take. 2.3.mp3"_s})
            QVERIFY2(frontCover(dir.filePath(piece)) == picture, qPrintable(piece));
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
