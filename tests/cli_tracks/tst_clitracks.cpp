#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

static void runTracks(QProcess &process, const QString &arg, const QString &workingDirectory)
{
    process.setWorkingDirectory(workingDirectory);
    process.start(QStringLiteral(VELVANE_SPLIT_BINARY), {u"--tracks"_s, arg});
    QVERIFY(process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit);
}

class CliTracksTest : public QObject
{
    Q_OBJECT
private slots:
    void workedExample();
    void severalFiles();
    void refused();
};

// A relative path in, absolute paths out, keys in a fixed order, one track a line.
void CliTracksTest::workedExample()
{
    QTemporaryDir dir;
    const QString folder = QDir(dir.path()).canonicalPath() + u"/Music/Live 1999"_s;
    QFile file(folder + u"/live.cue"_s);
    QVERIFY(QDir().mkpath(folder) && file.open(QIODevice::WriteOnly));
    file.write("REM GENRE Electronic\nPERFORMER \"The Band\"\nTITLE \"Live Album\"\nFILE \"Live Album.mp3\" MP3\n"
               "  TRACK 01 AUDIO\n    TITLE \"Intro\"\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n"
               "    TITLE \"Second Song\"\n    PERFORMER \"The Band feat. Guest\"\n    INDEX 00 03:58:40\n"
               "    INDEX 01 04:00:12\n  TRACK 03 AUDIO\n    TITLE \"Outro\"\n    INDEX 01 07:31:05\n");
    file.close();

    QProcess process;
    runTracks(process, u"Music/Live 1999/live.cue"_s, dir.path());
    QCOMPARE(process.readAllStandardError(), QByteArray());
    QCOMPARE(process.exitCode(), 0);
    // clang-format off
    QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()), uR"({"destination": "%1", "album": "Live 1999", "audio": "%1/Live Album.mp3", "isOgg": false, "encoding": "UTF-8",
 "tracks": [{"title": "Intro", "performer": "The Band", "index": "00:00:00", "file": "%1/Live Album.mp3"},
  {"title": "Second Song", "performer": "The Band feat. Guest", "index": "04:00:12", "file": "%1/Live Album.mp3"},
  {"title": "Outro", "performer": "The Band", "index": "07:31:05", "file": "%1/Live Album.mp3"}]}
)"_s.arg(folder));
    // clang-format on
}

// Each track names its own side; one --audio file cannot stand in for both sides, and nothing is cut.
void CliTracksTest::severalFiles()
{
    QTemporaryDir dir;
    const QString folder = QDir(dir.path()).canonicalPath();
    QFile file(folder + u"/vinyl.cue"_s);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("FILE \"Side 1.mp3\" MP3\nPERFORMER Band\nTRACK 01 AUDIO\nTITLE A1\nINDEX 01 00:00:00\n"
               "FILE \"Side 2.mp3\" MP3\nTRACK 02 AUDIO\nTITLE B1\nINDEX 01 00:00:00\n");
    file.close();
    QVERIFY(QFile::copy(file.fileName(), folder + u"/album.mp3"_s));

    QProcess tracks;
    runTracks(tracks, file.fileName(), folder);
    QCOMPARE(tracks.exitCode(), 0);
    const QString out = QString::fromUtf8(tracks.readAllStandardOutput());
    QVERIFY2(
        out.contains(
            uR"({"title": "A1", "performer": "Band", "index": "00:00:00", "file": "%1/Side 1.mp3"},)"_s.arg(folder)) &&
            out.contains(
                uR"({"title": "B1", "performer": "Band", "index": "00:00:00", "file": "%1/Side 2.mp3"}]})"_s.arg(
                    folder)),
        qPrintable(out));

    QProcess split;
    split.setWorkingDirectory(folder);
    split.start(QStringLiteral(VELVANE_SPLIT_BINARY), {file.fileName(), u"--audio"_s, u"album.mp3"_s});
    QVERIFY(split.waitForFinished(30000) && split.exitStatus() == QProcess::NormalExit);
    QCOMPARE(split.exitCode(), 2);
    const QByteArray err = split.readAllStandardError();
    QVERIFY2(err.contains("2 audio files") && err.indexOf('\n') == err.size() - 1, err);
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList({u"album.mp3"_s, u"vinyl.cue"_s}));
}

void CliTracksTest::refused()
{
    QTemporaryDir dir;
    const QString missing = QDir(dir.path()).canonicalPath() + u"/missing.cue"_s;
    QProcess process;
    runTracks(process, missing, dir.path());
    QCOMPARE(process.exitCode(), 2);
    QCOMPARE(process.readAllStandardOutput(), QByteArray());
    // One line: the program, the path, then the reason.
    const QByteArray err = process.readAllStandardError();
    QVERIFY2(err.startsWith("velvane-split: " + missing.toUtf8() + ": ") && err.indexOf('\n') == err.size() - 1, err);

    QProcess option;
    runTracks(option, u"--bogus"_s, dir.path());
    QCOMPARE(option.exitCode(), 2);
    QVERIFY(option.readAllStandardError().startsWith("usage: velvane-split --tracks FILE.cue [--encoding NAME]\n"));
}

QTEST_GUILESS_MAIN(CliTracksTest)
#include "tst_clitracks.moc"
