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
    QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()), uR"({"destination": "%1", "album": "Live 1999", "audio": "%1/Live Album.mp3", "isOgg": false,
 "tracks": [{"title": "Intro", "performer": "The Band", "index": "00:00:00"},
  {"title": "Second Song", "performer": "The Band feat. Guest", "index": "04:00:12"},
  {"title": "Outro", "performer": "The Band", "index": "07:31:05"}]}
)"_s.arg(folder));
    // clang-format on
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
    QVERIFY(option.readAllStandardError().startsWith("usage: velvane-split --tracks FILE.cue\n"));
}

QTEST_GUILESS_MAIN(CliTracksTest)
#include "tst_clitracks.moc"
