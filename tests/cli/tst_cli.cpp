#include "core/cue/cuereading.h"
#include "support/audiofixture.h"
#include "support/files.h"
#include "support/splitters.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <taglib/fileref.h>
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

} // namespace

class CliTest : public QObject
{
    Q_OBJECT

private slots:
    // A full run, a run with every track failing for want of the splitter, and bad input refused before anything is
    // cut, with the window's alert texts for the first failing check only.
    void split_data()
    {
        QTest::addColumn<QString>("arguments"); // split at "|"; CUE, OUT and GONE: the sheet, dir/out, a lost path
        QTest::addColumn<QByteArray>("sheet");
        QTest::addColumn<int>("exitCode");     // 1 is brought about by a missing splitter
        QTest::addColumn<QString>("expected"); // the first line on stderr, stdout, the tags of the first piece in OUT
        const QByteArray good = sheet({u"00:00:00"_s, u"00:01:45"_s, u"00:03:15"_s}); // 1.6 s each
        const QString lost = u" not found! Please select one!\n"_s;
        QTest::newRow("every option, audio named relatively")
            << u"CUE|--numbered|--tags|--genre|Techno|--year| 1999 (live)|--album|Given|--audio|-s.mp3|--dest|OUT"_s
            << good << 0
            << u"1 of 3: 01 Some Band - Take. 1.3.mp3\nAll 3 tracks made in OUT.\nALBUM=Given\nARTIST=Some Band\n"
               u"DATE=1999\nGENRE=Techno\nTITLE=Take: 1/3\nTRACKNUMBER=1/3\n"_s;
        QTest::newRow("splitter missing, sheet named relatively") // run in the sheet's folder
            << u"album.cue|--tags"_s << good << 1
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
                               << u"usage: velvane-split --tracks FILE.cue [--encoding NAME]\n"_s;
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

    // A relative path in, absolute paths out, keys in a fixed order, one track a line, each with its own file.
    void tracks()
    {
        QTemporaryDir dir;
        const QString folder = QDir(dir.path()).canonicalPath() + u"/Music/Live 1999"_s;
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(writeFile(folder + u"/live.cue"_s,
                          "REM GENRE Electronic\nPERFORMER \"The Band\"\nTITLE \"Live Album\"\nFILE \"Live Album.mp3\" "
                          "MP3\n  TRACK 01 AUDIO\n    TITLE \"Intro\"\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n"
                          "    TITLE \"Second Song\"\n    PERFORMER \"The Band feat. Guest\"\n    INDEX 00 03:58:40\n"
                          "    INDEX 01 04:00:12\nFILE \"Bonus.ogg\" OGG\n  TRACK 03 AUDIO\n    TITLE \"Outro\"\n"
                          "    INDEX 01 00:31:05\n"));

        const ToolRun run = runSplit({u"--tracks"_s, u"Music/Live 1999/live.cue"_s}, dir.path());
        QCOMPARE(run.err, QByteArray());
        QCOMPARE(run.exitCode, 0);
        // clang-format off
        QCOMPARE(QString::fromUtf8(run.out), uR"({"destination": "%1", "album": "Live 1999", "audio": "%1/Live Album.mp3", "isOgg": false, "encoding": "UTF-8",
 "tracks": [{"title": "Intro", "performer": "The Band", "index": "00:00:00", "file": "%1/Live Album.mp3"},
  {"title": "Second Song", "performer": "The Band feat. Guest", "index": "04:00:12", "file": "%1/Live Album.mp3"},
  {"title": "Outro", "performer": "The Band", "index": "00:31:05", "file": "%1/Bonus.ogg"}]}
)"_s.arg(folder));
        // clang-format on

        // A sheet that cannot be read: one line, the program, the path, then the reason. A FIFO once blocked the
        // read for good, and an album taken for its sheet was read whole.
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
};

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
