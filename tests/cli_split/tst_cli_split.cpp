#include "support/audiofixture.h"

#include <QDate>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/vorbisfile.h>

using namespace Qt::StringLiterals;
using velvane::test::AlbumFormat;

namespace {

struct Run
{
    int exitCode = -1;
    QStringList out;
    QStringList err;
};

Run runCli(const QStringList &arguments, const QString &splitter = {})
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!splitter.isEmpty())
        environment.insert(u"VELVANE_MP3SPLT"_s, splitter);
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(VELVANE_SPLIT_BINARY), arguments);
    Run run;
    if (process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit)
        run = {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts),
               QString::fromUtf8(process.readAllStandardError()).split(u'\n', Qt::SkipEmptyParts)};
    return run;
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// Tracks of 1.6 s, a whole number of 1/75 s frames.
const QStringList goodTimes{u"00:00:00"_s, u"00:01:45"_s, u"00:03:15"_s};

bool writeCue(const QString &path, const QString &audioName, const QStringList &times)
{
    QString text = u"PERFORMER \"Some Band\"\nFILE \""_s + audioName + u"\" MP3\n"_s;
    const QStringList titles{u"Intro: Part 1/2"_s, u"Song"_s, u"Outro"_s};
    for (int i = 0; i < times.size(); ++i)
        text += u"TRACK %1 AUDIO\nTITLE \"%2\"\nPERFORMER \"Some Band\"\nINDEX 01 %3\n"_s.arg(i + 1).arg(titles.at(i),
                                                                                                         times.at(i));
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) > 0;
}

// A three-track album and its sheet in dir/Live Album, the folder name that the album tag defaults to.
struct Fixture
{
    QTemporaryDir dir;
    QString folder = dir.filePath(u"Live Album"_s);
    QString cue = folder + u"/album.cue"_s;
    QString audio;

    bool make(AlbumFormat format)
    {
        const auto album =
            QDir().mkpath(folder) ? velvane::test::makeAlbum(folder, format, {1.6, 1.6, 1.6}) : std::nullopt;
        audio = album ? album->path : QString();
        return album && writeCue(cue, QFileInfo(audio).fileName(), goodTimes);
    }
};

} // namespace

class CliSplitTest : public QObject
{
    Q_OBJECT

private slots:
    void splits_data()
    {
        QTest::addColumn<AlbumFormat>("format");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("firstName");
        QTest::addColumn<QString>("album"); // empty: no tags expected
        QTest::addColumn<int>("year");
        QTest::addColumn<QString>("genre");
        QTest::newRow("every option") << AlbumFormat::Mp3Cbr
                                      << QStringList{u"--numbered"_s, u"--tags"_s,       u"--genre"_s, u"Techno"_s,
                                                     u"--year"_s,     u" 1999 (live)"_s, u"--album"_s, u"Given"_s}
                                      << u"01 Some Band - Intro. Part 1.2.mp3"_s << u"Given"_s << 1999 << u"Techno"_s;
        QTest::newRow("defaults") << AlbumFormat::Mp3Vbr << QStringList{u"--tags"_s}
                                  << u"Some Band - Intro. Part 1.2.mp3"_s << u"Live Album"_s
                                  << QDate::currentDate().year() << QString();
        QTest::newRow("ogg ignores tags") << AlbumFormat::Ogg << QStringList{u"--numbered"_s, u"--tags"_s}
                                          << u"01 Some Band - Intro. Part 1.2.ogg"_s << QString() << 0 << QString();
    }
    void splits()
    {
        QFETCH(AlbumFormat, format);
        QFETCH(QStringList, options);
        QFETCH(QString, firstName);
        QFETCH(QString, album);
        QFETCH(int, year);
        QFETCH(QString, genre);
        Fixture fixture;
        QVERIFY(fixture.make(format));
        const QString destination = fixture.dir.filePath(u"out"_s);
        const bool defaultDestination = options.size() == 1;
        if (!defaultDestination) {
            QVERIFY(QDir().mkpath(destination));
            options << u"--dest"_s << destination;
        }

        const Run run = runCli(QStringList{fixture.cue} + options);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.err.filter(u" of 3: "_s).size(), 3);
        QCOMPARE(run.err.filter(u" of 3: "_s).constFirst(), u"1 of 3: "_s + firstName);
        QCOMPARE(run.out.size(), 1);

        const QString folder = defaultDestination ? fixture.folder : destination;
        QCOMPARE(entriesOf(folder).size(), defaultDestination ? 5 : 3);
        const QString first = QDir(folder).filePath(firstName);
        if (format == AlbumFormat::Ogg) {
            TagLib::Ogg::Vorbis::File file(QFile::encodeName(first).constData());
            QVERIFY(file.isValid() && file.tag()->isEmpty());
            return;
        }
        TagLib::MPEG::File file(QFile::encodeName(first).constData());
        QVERIFY(file.isValid() && file.ID3v2Tag());
        QCOMPARE(QString::fromStdWString(file.ID3v2Tag()->album().toWString()), album);
        QCOMPARE(file.ID3v2Tag()->year(), unsigned(year));
        QCOMPARE(QString::fromStdWString(file.ID3v2Tag()->genre().toWString()), genre);
    }

    // Refused before anything is cut, with the window's alert texts for the first failing check only.
    void refusesBadInput_data()
    {
        QTest::addColumn<QStringList>("arguments"); // CUE, GONE and DIR stand for the fixture's paths
        QTest::addColumn<QStringList>("times");
        QTest::addColumn<QString>("firstLine");
        const QString cue = u"Cue-file not found! Please select one!"_s;
        QTest::newRow("no sheet") << QStringList{u"GONE"_s} << goodTimes << cue;
        QTest::newRow("sheet is a folder") << QStringList{u"DIR"_s} << goodTimes << cue;
        QTest::newRow("everything wrong")
            << QStringList{u"GONE"_s, u"--audio"_s, u"GONE"_s, u"--dest"_s, u"GONE"_s} << goodTimes << cue;
        QTest::newRow("audio missing") << QStringList{u"CUE"_s, u"--audio"_s, u"GONE"_s, u"--dest"_s, u"GONE"_s}
                                       << goodTimes << u"Audio-file not found! Please select one!"_s;
        QTest::newRow("destination missing") << QStringList{u"CUE"_s, u"--dest"_s, u"GONE"_s} << goodTimes
                                             << u"Destination directory not found! Please select one!"_s;
        QTest::newRow("seconds 60") << QStringList{u"CUE"_s} << QStringList{u"00:00:00"_s, u"00:60:00"_s, u"00:02:00"_s}
                                    << u"track 2"_s;
        QTest::newRow("backwards") << QStringList{u"CUE"_s} << QStringList{u"00:00:00"_s, u"00:02:00"_s, u"00:01:00"_s}
                                   << u"track 3"_s;
        QTest::newRow("no tracks") << QStringList{u"CUE"_s} << QStringList{} << u"no tracks"_s;
        QTest::newRow("no sheet named") << QStringList{u"--numbered"_s} << goodTimes << u"usage:"_s;
        QTest::newRow("unknown option") << QStringList{u"CUE"_s, u"--bogus"_s} << goodTimes << u"bogus"_s;
    }
    void refusesBadInput()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, times);
        QFETCH(QString, firstLine);
        Fixture fixture;
        QVERIFY(fixture.make(AlbumFormat::Mp3Cbr));
        QVERIFY(writeCue(fixture.cue, u"album.mp3"_s, times) || times.isEmpty());
        arguments.replaceInStrings(u"CUE"_s, fixture.cue).replaceInStrings(u"DIR"_s, fixture.folder);
        arguments.replaceInStrings(u"GONE"_s, fixture.dir.filePath(u"gone"_s));
        const QStringList before = entriesOf(fixture.folder);

        const Run run = runCli(arguments);
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.out.isEmpty() && !run.err.isEmpty());
        if (firstLine.endsWith(u'!'))
            QCOMPARE(run.err.constFirst(), firstLine);
        else
            QVERIFY2(run.err.constFirst().contains(firstLine, Qt::CaseInsensitive), qPrintable(run.err.join(u'\n')));
        QCOMPARE(entriesOf(fixture.folder), before);
    }

    void missingSplitterFailsEveryTrack()
    {
        Fixture fixture;
        QVERIFY(fixture.make(AlbumFormat::Mp3Cbr));
        const Run run = runCli({fixture.cue, u"--tags"_s}, fixture.dir.filePath(u"no-splitter"_s));
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.err.size(), 3);
        for (int i = 0; i < 3; ++i)
            QVERIFY2(run.err.at(i).startsWith(u"%1 of 3: "_s.arg(i + 1)) && run.err.at(i).contains(u"FAILED"_s),
                     qPrintable(run.err.at(i)));
        QCOMPARE(run.out, QStringList{u"3 of 3 tracks failed: tracks 1, 2 and 3."_s});
        QCOMPARE(entriesOf(fixture.folder), (QStringList{u"album.cue"_s, u"album.mp3"_s}));
    }
};

QTEST_GUILESS_MAIN(CliSplitTest)
#include "tst_cli_split.moc"
