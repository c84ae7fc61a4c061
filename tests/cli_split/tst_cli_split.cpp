#include "support/audiofixture.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <taglib/fileref.h>
#include <taglib/tpropertymap.h>

using namespace Qt::StringLiterals;

class CliSplitTest : public QObject
{
    Q_OBJECT

private slots:
    // A full run, a run with every track failing for want of the splitter, and bad input refused before anything is
    // cut, with the window's alert texts for the first failing check only.
    void run_data()
    {
        QTest::addColumn<QString>("arguments"); // split at "|"; CUE, OUT and GONE: the sheet, dir/out, a lost path
        QTest::addColumn<QStringList>("times"); // the sheet's start times
        QTest::addColumn<int>("exitCode");      // 1 is brought about by a missing splitter
        QTest::addColumn<QString>("expected");  // the first line on stderr, stdout, the tags of the first piece in OUT
        const QStringList good{u"00:00:00"_s, u"00:01:45"_s, u"00:03:15"_s}; // 1.6 s each, whole 1/75 s frames
        const QString lost = u" not found! Please select one!\n"_s;
        QTest::newRow("every option")
            << u"CUE|--numbered|--tags|--genre|Techno|--year| 1999 (live)|--album|Given|--dest|OUT"_s << good << 0
            << u"1 of 3: 01 Some Band - Take. 1.3.mp3\nAll 3 tracks made in OUT.\nALBUM=Given\nARTIST=Some Band\n"
               u"DATE=1999\nGENRE=Techno\nTITLE=Take: 1/3\nTRACKNUMBER=1/3\n"_s;
        QTest::newRow("splitter missing, sheet named relatively") // run in the sheet's folder
            << u"album.cue|--tags"_s << good << 1
            << u"1 of 3: Some Band - Take. 1.3.mp3 FAILED: The splitter /nonexistent/mp3splt could not be started.\n"
               u"3 of 3 tracks failed: tracks 1, 2 and 3.\n"_s;
        QTest::newRow("folder as sheet") << u"OUT|--audio|GONE"_s << good << 2 << u"Cue-file"_s + lost;
        QTest::newRow("no audio") << u"CUE|--audio|GONE|--dest|GONE"_s << good << 2 << u"Audio-file"_s + lost;
        QTest::newRow("no destination") << u"CUE|--dest|GONE"_s << good << 2 << u"Destination directory"_s + lost;
        QTest::newRow("file as destination") << u"CUE|--dest|CUE"_s << good << 2 << u"Destination directory"_s + lost;
        QTest::newRow("no tracks") << u"CUE"_s << QStringList() << 2 << u"The cue sheet lists no tracks.\n"_s;
        QTest::newRow("backwards") << u"CUE"_s << QStringList{u"00:02:00"_s, u"00:01:00"_s} << 2
                                   << u"Track 2 starts at 00:01:00, not after the track before it.\n"_s;
        QTest::newRow("usage") << u"--numbered"_s << good << 2 << u"usage: velvane-split --tracks FILE.cue [--encoding NAME]\n"_s;
        QTest::newRow("unknown option") << u"CUE|--bogus"_s << good << 2 << u"Unknown option 'bogus'.\n"_s;
    }
    void run()
    {
        QFETCH(QString, arguments);
        QFETCH(QStringList, times);
        QFETCH(int, exitCode);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString out = dir.filePath(u"out"_s);
        QString text = u"PERFORMER \"Some Band\"\nFILE \"album.mp3\" MP3\n"_s;
        for (int i = 0; i < times.size(); ++i)
            text += u"TRACK %1 AUDIO\nTITLE \"Take: %1/3\"\nINDEX 01 %2\n"_s.arg(i + 1).arg(times[i]);
        QFile cue(dir.filePath(u"album.cue"_s));
        QVERIFY(cue.open(QIODevice::WriteOnly) && cue.write(text.toUtf8()) > 0 && cue.flush() &&
                QDir(dir.path()).mkdir(u"out"_s));
        QVERIFY(velvane::test::makeAlbum(dir.path(), velvane::test::AlbumFormat::Mp3Cbr, {1.6, 1.6, 1.6}));
        arguments.replace(u"CUE"_s, cue.fileName()).replace(u"OUT"_s, out).replace(u"GONE"_s, dir.filePath(u"gone"_s));

        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (exitCode == 1)
            environment.insert(u"VELVANE_MP3SPLT"_s, u"/nonexistent/mp3splt"_s);
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(dir.path());
        process.start(QStringLiteral(VELVANE_SPLIT_BINARY), arguments.split(u'|'));
        QVERIFY(process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit);
        const QStringList errors = QString::fromUtf8(process.readAllStandardError()).split(u'\n');

        QCOMPARE(process.exitCode(), exitCode);
        QCOMPARE(errors.filter(exitCode ? u" FAILED: "_s : u" of 3: "_s).size(), exitCode == 2 ? 0 : 3);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden).join(u' '),
                 u". .. album.cue album.mp3 out"_s);
        const TagLib::FileRef piece(QFile::encodeName(out + u"/01 Some Band - Take. 1.3.mp3"_s).constData());
        const auto tags = piece.isNull() ? TagLib::String() : piece.file()->properties().toString();
        const QByteArray output = process.readAllStandardOutput() + tags.toCString(true);
        QCOMPARE(errors.constFirst() + u'\n' + QString::fromUtf8(output), expected.replace(u"OUT"_s, out));
    }
};

QTEST_GUILESS_MAIN(CliSplitTest)
#include "tst_cli_split.moc"
