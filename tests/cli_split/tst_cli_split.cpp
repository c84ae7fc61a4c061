#include "support/audiofixture.h"

#include <QCryptographicHash>
#include <QDate>
#include <QDir>
#include <QFile>
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
    environment.remove(u"QT_LOGGING_RULES"_s);
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(VELVANE_SPLIT_BINARY), arguments);
    Run run;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    run.err = QString::fromUtf8(process.readAllStandardError()).split(u'\n', Qt::SkipEmptyParts);
    return run;
}

QByteArray hashOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result();
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

bool writeCue(const QString &path, const QString &audioName, const QStringList &indexes)
{
    QString text = u"PERFORMER \"Some Band\"\nTITLE \"Whole\"\nFILE \""_s + audioName + u"\" MP3\n"_s;
    const QStringList titles{u"Intro: Part 1/2"_s, u"Song"_s, u"Outro"_s};
    for (int i = 0; i < indexes.size(); ++i)
        text += u"  TRACK %1 AUDIO\n    TITLE \"%2\"\n    PERFORMER \"Some Band\"\n    INDEX 01 %3\n"_s
                    .arg(i + 1, 2, 10, u'0')
                    .arg(titles.value(i, u"Extra"_s), indexes.at(i));
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) > 0;
}

// Tracks of 1.6 s, a whole number of 1/75 s frames.
const QStringList goodIndexes{u"00:00:00"_s, u"00:01:45"_s, u"00:03:15"_s};

// A three-track album with its sheet in dir/Live Album, the folder name the album tag defaults to.
struct Fixture
{
    QTemporaryDir dir;
    QString folder;
    QString cue;
    QString audio;

    bool make(AlbumFormat format)
    {
        folder = dir.filePath(u"Live Album"_s);
        if (!dir.isValid() || !QDir().mkpath(folder))
            return false;
        const auto album = velvane::test::makeAlbum(folder, format, {1.6, 1.6, 1.6});
        if (!album)
            return false;
        audio = album->path;
        cue = QDir(folder).filePath(u"album.cue"_s);
        return writeCue(cue, QFileInfo(audio).fileName(), goodIndexes);
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
        QTest::addColumn<bool>("otherDestination");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("album");
        QTest::addColumn<int>("year");
        QTest::addColumn<QString>("genre");
        QTest::newRow("every option") << AlbumFormat::Mp3Cbr
                                      << QStringList{u"--numbered"_s, u"--tags"_s,       u"--genre"_s, u"Techno"_s,
                                                     u"--year"_s,     u" 1999 (live)"_s, u"--album"_s, u"Given"_s}
                                      << true
                                      << QStringList{u"01 Some Band - Intro. Part 1.2.mp3"_s,
                                                     u"02 Some Band - Song.mp3"_s, u"03 Some Band - Outro.mp3"_s}
                                      << u"Given"_s << 1999 << u"Techno"_s;
        QTest::newRow("defaults") << AlbumFormat::Mp3Vbr << QStringList{u"--tags"_s} << false
                                  << QStringList{u"Some Band - Intro. Part 1.2.mp3"_s, u"Some Band - Song.mp3"_s,
                                                 u"Some Band - Outro.mp3"_s}
                                  << u"Live Album"_s << QDate::currentDate().year() << QString();
        QTest::newRow("ogg ignores tags")
            << AlbumFormat::Ogg << QStringList{u"--numbered"_s, u"--tags"_s, u"--genre"_s, u"Techno"_s} << true
            << QStringList{u"01 Some Band - Intro. Part 1.2.ogg"_s, u"02 Some Band - Song.ogg"_s,
                           u"03 Some Band - Outro.ogg"_s}
            << QString() << 0 << QString();
    }
    void splits()
    {
        QFETCH(AlbumFormat, format);
        QFETCH(QStringList, options);
        QFETCH(bool, otherDestination);
        QFETCH(QStringList, names);
        QFETCH(QString, album);
        QFETCH(int, year);
        QFETCH(QString, genre);
        Fixture fixture;
        QVERIFY(fixture.make(format));
        const QByteArray albumHash = hashOf(fixture.audio);
        QString destination = fixture.folder;
        if (otherDestination) {
            destination = fixture.dir.filePath(u"out"_s);
            QVERIFY(QDir().mkpath(destination));
            options << u"--dest"_s << destination;
        }

        const Run run = runCli(QStringList{fixture.cue} + options);
        QCOMPARE(run.exitCode, 0);
        QStringList progress;
        for (int i = 0; i < names.size(); ++i)
            progress << u"%1 of 3: %2"_s.arg(i + 1).arg(names.at(i));
        QCOMPARE(run.err.filter(u" of 3: "_s), progress);
        QCOMPARE(run.out.size(), 1);

        QStringList expected = names;
        if (!otherDestination)
            expected << u"album.cue"_s << QFileInfo(fixture.audio).fileName();
        expected.sort();
        QCOMPARE(entriesOf(destination), expected);
        QCOMPARE(hashOf(fixture.audio), albumHash);

        for (int i = 0; i < names.size(); ++i) {
            const QString path = QDir(destination).filePath(names.at(i));
            const auto seconds = velvane::test::durationSeconds(path);
            QVERIFY(seconds && qAbs(*seconds - 1.6) < 0.08);
            if (format == AlbumFormat::Ogg) {
                TagLib::Ogg::Vorbis::File file(QFile::encodeName(path).constData());
                QVERIFY(file.isValid() && file.tag()->isEmpty());
                continue;
            }
            TagLib::MPEG::File file(QFile::encodeName(path).constData());
            QVERIFY(file.isValid() && file.ID3v2Tag());
            const TagLib::ID3v2::Tag *tag = file.ID3v2Tag();
            QCOMPARE(QString::fromStdWString(tag->album().toWString()), album);
            QCOMPARE(tag->year(), unsigned(year));
            QCOMPARE(QString::fromStdWString(tag->genre().toWString()), genre);
            QCOMPARE(tag->track(), unsigned(i + 1));
        }
        if (format == AlbumFormat::Ogg)
            QVERIFY(run.err.contains(u"Ogg pieces get no tags; --tags is ignored."_s));
    }

    // Bad input is refused before anything is cut, with the window's alert texts, the first failing check only.
    void refusesBadInput_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("message"); // the first line on stderr, or a part of it
        const QString cue = u"Cue-file not found! Please select one!"_s;
        const QString audio = u"Audio-file not found! Please select one!"_s;
        const QString dest = u"Destination directory not found! Please select one!"_s;
        QTest::newRow("no sheet") << u"no sheet"_s << cue;
        QTest::newRow("sheet is a folder") << u"sheet is a folder"_s << cue;
        QTest::newRow("everything wrong") << u"everything wrong"_s << cue;
        QTest::newRow("--audio missing") << u"--audio missing"_s << audio;
        QTest::newRow("sheet names a missing file") << u"sheet names a missing file"_s << audio;
        QTest::newRow("--dest missing") << u"--dest missing"_s << dest;
        QTest::newRow("seconds 60") << u"seconds 60"_s << u"track 2"_s;
        QTest::newRow("times backwards") << u"times backwards"_s << u"track 3"_s;
        QTest::newRow("no tracks") << u"no tracks"_s << u"no tracks"_s;
        QTest::newRow("no sheet named") << u"no sheet named"_s << u"usage:"_s;
        QTest::newRow("unknown option") << u"unknown option"_s << u"bogus"_s;
    }
    void refusesBadInput()
    {
        QFETCH(QString, setup);
        QFETCH(QString, message);
        Fixture fixture;
        QVERIFY(fixture.make(AlbumFormat::Mp3Cbr));
        const QString gone = fixture.dir.filePath(u"gone"_s);
        QStringList arguments{fixture.cue};
        if (setup == u"no sheet")
            arguments = {gone + u".cue"_s};
        else if (setup == u"sheet is a folder")
            arguments = {fixture.folder};
        else if (setup == u"everything wrong")
            arguments = {gone + u".cue"_s, u"--audio"_s, gone + u".mp3"_s, u"--dest"_s, gone};
        else if (setup == u"--audio missing")
            arguments << u"--audio"_s << gone + u".mp3"_s << u"--dest"_s << gone;
        else if (setup == u"sheet names a missing file")
            QVERIFY(writeCue(fixture.cue, u"other.mp3"_s, goodIndexes));
        else if (setup == u"--dest missing")
            arguments << u"--dest"_s << gone;
        else if (setup == u"seconds 60")
            QVERIFY(writeCue(fixture.cue, u"album.mp3"_s, {u"00:00:00"_s, u"00:60:00"_s, u"00:02:00"_s}));
        else if (setup == u"times backwards")
            QVERIFY(writeCue(fixture.cue, u"album.mp3"_s, {u"00:00:00"_s, u"00:02:00"_s, u"00:01:00"_s}));
        else if (setup == u"no tracks")
            QVERIFY(writeCue(fixture.cue, u"album.mp3"_s, {}));
        else if (setup == u"no sheet named")
            arguments = {u"--numbered"_s};
        else if (setup == u"unknown option")
            arguments << u"--bogus"_s;
        const QStringList before = entriesOf(fixture.folder);

        const Run run = runCli(arguments);
        QCOMPARE(run.exitCode, 2);
        QVERIFY(!run.err.isEmpty());
        if (message.endsWith(u'!'))
            QCOMPARE(run.err.constFirst(), message);
        else
            QVERIFY2(run.err.constFirst().contains(message, Qt::CaseInsensitive), qPrintable(run.err.join(u'\n')));
        QVERIFY(run.out.isEmpty());
        QCOMPARE(entriesOf(fixture.folder), before);
    }

    void missingSplitterFailsEveryTrack()
    {
        Fixture fixture;
        QVERIFY(fixture.make(AlbumFormat::Mp3Cbr));
        const Run run = runCli({fixture.cue, u"--tags"_s}, fixture.dir.filePath(u"no-splitter"_s));
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.err.size(), 3);
        for (int i = 0; i < 3; ++i) {
            QVERIFY2(run.err.at(i).startsWith(u"%1 of 3: "_s.arg(i + 1)), qPrintable(run.err.at(i)));
            QVERIFY2(run.err.at(i).contains(u"FAILED"_s), qPrintable(run.err.at(i)));
        }
        QCOMPARE(run.out, QStringList{u"3 of 3 tracks failed: tracks 1, 2 and 3."_s});
        QCOMPARE(entriesOf(fixture.folder), (QStringList{u"album.cue"_s, u"album.mp3"_s}));
    }
};

QTEST_GUILESS_MAIN(CliSplitTest)
#include "tst_cli_split.moc"
