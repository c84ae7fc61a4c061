#include "core/cue/cuereading.h"
#include "core/split/splitjob.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// Tracks written compactly in test tables: "title=Intro|performer=The Band|index=00:00:00".
static velvane::TrackList tracksFrom(const QStringList &compact)
{
    velvane::TrackList tracks;
    for (const QString &entry : compact) {
        velvane::TrackEntry track;
        for (const QString &pair : entry.split(u'|', Qt::SkipEmptyParts))
            track.insert(pair.section(u'=', 0, 0), pair.section(u'=', 1));
        tracks.append(track);
    }
    return tracks;
}

class CueReadingTest : public QObject
{
    Q_OBJECT
private slots:
    void workedExample();
    void lines_data();
    void lines();
    void sheets_data();
    void sheets();
    void layouts_data();
    void layouts();
    void startTimesPerFile_data();
    void startTimesPerFile();
    void encodings_data();
    void encodings();
};

void CueReadingTest::workedExample()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(u"Music/Live 1999"_s);
    QVERIFY(QDir().mkpath(folder));
    QFile file(folder + u"/live.cue"_s);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("REM GENRE Electronic\nPERFORMER \"The Band\"\nTITLE \"Live Album\"\nFILE \"Live Album.mp3\" MP3\n"
               "  TRACK 01 AUDIO\n    TITLE \"Intro\"\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n"
               "    TITLE \"Second Song\"\n    PERFORMER \"The Band feat. Guest\"\n    INDEX 00 03:58:40\n"
               "    INDEX 01 04:00:12\n  TRACK 03 AUDIO\n    TITLE \"Outro\"\n    INDEX 01 07:31:05\n");
    file.close();

    const velvane::CueReading reading = velvane::readCueSheet(file.fileName());
    QCOMPARE(reading.destination, folder);
    QCOMPARE(reading.album, u"Live 1999"_s);
    QCOMPARE(reading.audio ? reading.audio->path : QString(), folder + u"/Live Album.mp3"_s);
    const QString audio = u"|file="_s + folder + u"/Live Album.mp3"_s;
    const velvane::TrackList expected =
        tracksFrom({u"title=Intro|performer=The Band|index=00:00:00"_s + audio,
                    u"title=Second Song|performer=The Band feat. Guest|index=04:00:12"_s + audio,
                    u"title=Outro|performer=The Band|index=07:31:05"_s + audio});
    QCOMPARE(reading.tracks, expected);
    QCOMPARE(velvane::readCueSheet(file.fileName()).tracks, expected);
}

void CueReadingTest::lines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");

    const QStringList two{u"TITLE \"A\""_s, u"INDEX 01"_s};
    QTest::newRow("LF; indentation and blank lines go, trailing blanks stay")
        << u"\n \t\n  TITLE \"A\"\n\t\n\tINDEX 01  \n\n "_s << QStringList{u"TITLE \"A\""_s, u"INDEX 01  "_s};
    QTest::newRow("CR LF, no break at the end") << u"TITLE \"A\"\r\nINDEX 01"_s << two;
    QTest::newRow("CR, a tail of white space only") << u"TITLE \"A\"\rINDEX 01\r \t\f\v\u0085\r"_s << two;
    QTest::newRow("wider white space skipped before a line, kept inside; BOM and zero width space kept")
        << u"\f\v\u0085\u00A0A \f\v\u00A0\u2028x\n\u1680\u2028\u3000B\n\uFEFFC\r\u200BD"_s
        << QStringList{u"A \f\v\u00A0\u2028x"_s, u"B"_s, u"\uFEFFC"_s, u"\u200BD"_s};
}

void CueReadingTest::lines()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QCOMPARE(velvane::linesInText(text), expected);
}

// Each sheet is read as if at /m/live.cue; the audio name is relative to /m, empty when no FILE line is usable.
void CueReadingTest::sheets_data()
{
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<QStringList>("tracks");
    QTest::addColumn<QString>("audio");
    QTest::addColumn<bool>("isOgg");

    QTest::newRow("any keyword case; a missing, blank or bare performer takes the default; plain name, two extensions")
        << u"performer \"tHE bAND\"\nFile album.ogg.mp3 MP3\nTrack 01 Audio\ntitle \"iNTRO\"\nTRACK 02\n"
           u"PERFORMER \t\" \nTRACK 03\nPERFORMER"_s
        << QStringList{u"title=iNTRO|performer=tHE bAND|file=/m/album.ogg.mp3"_s,
                       u"performer=tHE bAND|file=/m/album.ogg.mp3"_s, u"performer=tHE bAND|file=/m/album.ogg.mp3"_s}
        << u"album.ogg.mp3"_s << false;
    QTest::newRow("values lose blanks, tabs and unpaired quotes at the ends only; no FILE line, no file")
        << u"TRACK 01\nTITLE \t \"'a.mp3 \"b\"'\u00A0\"\" "_s << QStringList{u"title='a.mp3 \"b\"'\u00A0|performer="_s}
        << QString() << false;
    QTest::newRow("lines before the first TRACK never make a track, nor a track without a line of its own")
        << u"TITLE Album\nINDEX 01 00:00:00\nFILE \"my.mp3 rips.mp3\" MP3\nTRACK 01\nFLAGS DCP\nTRACK 02\nTITLE A"_s
        << QStringList{u"title=A|performer=|file=/m/my.mp3 rips.mp3"_s} << u"my.mp3 rips.mp3"_s << false;
    QTest::newRow("any type of file is a track's file; a name of slashes gives an empty one; first usable is audio")
        << u"FILE \"a.mp3.wav\" WAVE\nTRACK 01\nTITLE A\nFILE my b.flac\tWAVE\nTRACK 02\nFILE // WAVE\nTITLE B\n"
           u"INDEX 01 00:00:00\nfile \t \"cd1/c.Ogg\" OGG\nTRACK 03\nFILE d.mp3\nTITLE D"_s
        << QStringList{u"title=A|performer=|file=/m/a.mp3.wav"_s, u"title=B|performer=|index=00:00:00|file="_s,
                       u"title=D|performer=|file=/m/cd1/c.Ogg"_s}
        << u"cd1/c.Ogg"_s << true;
    QTest::newRow("index forms, the later INDEX winning; unusable names skipped, an unclosed quote")
        << u"FILE \"a.mp3.wav\" WAVE\nFILE \"\" MP3\nFILE \"album.mp3 MP3\nTRACK\nINDEX 01 00:02:00\n"
           u"INDEX 00 04:00:12  \nTRACK\nINDEX 07:31:05\nTRACK\nINDEX 1 07:31:05\nTRACK\nINDEX 01\nTRACK\nINDEX "_s
        << QStringList{u"performer=|index=04:00:12|file=/m/album.mp3"_s,
                       u"performer=|index=07:31:05|file=/m/album.mp3"_s,
                       u"performer=|index=1 07:31:05|file=/m/album.mp3"_s, u"performer=|index=01|file=/m/album.mp3"_s,
                       u"performer=|index=|file=/m/album.mp3"_s}
        << u"album.mp3"_s << false;
}

void CueReadingTest::sheets()
{
    QFETCH(QString, sheet);
    QFETCH(QStringList, tracks);
    QFETCH(QString, audio);
    QFETCH(bool, isOgg);
    const velvane::CueReading reading = velvane::cueReadingFromLines(u"/m/live.cue"_s, velvane::linesInText(sheet));
    QCOMPARE(reading.tracks, tracksFrom(tracks));
    QCOMPARE(reading.audio ? reading.audio->path : QString(), audio.isEmpty() ? QString() : u"/m/"_s + audio);
    QCOMPARE(reading.audio && reading.audio->isOgg, isOgg);
}

// Sheets laid out as rippers write them, read as if at /m/live.cue. Every track is read, with its own file, and
// the start times count again from each file's beginning.
void CueReadingTest::layouts_data()
{
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<QStringList>("tracks");
    QTest::addColumn<QStringList>("audioFiles");

    QTest::newRow("album header after FILE: its performer the default, no track of its own")
        << u"FILE \"Dragon Attack.mp3\" MP3\nREM GENRE Rock\nPERFORMER \"Various\"\n"
           u"TITLE \"Dragon Attack - A Tribute to Queen\"\n  TRACK 01 AUDIO\n    TITLE \"Intro\"\n"
           u"    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    TITLE \"Two\"\n    PERFORMER \"Guest\"\n"
           u"    INDEX 01 03:00:00\n  TRACK 03 AUDIO\n    TITLE \"Three\"\n    INDEX 01 06:00:00\n"_s
        << QStringList{u"title=Intro|performer=Various|index=00:00:00|file=/m/Dragon Attack.mp3"_s,
                       u"title=Two|performer=Guest|index=03:00:00|file=/m/Dragon Attack.mp3"_s,
                       u"title=Three|performer=Various|index=06:00:00|file=/m/Dragon Attack.mp3"_s}
        << QStringList{u"/m/Dragon Attack.mp3"_s};
    // The last track of side 1 names a performer: it must neither be dropped nor lend it to side 2.
    QTest::newRow("two sides")
        << u"PERFORMER \"The Band\"\r\nTITLE \"Vinyl\"\r\nFILE \"Side 1.mp3\" MP3\r\n  TRACK 01 AUDIO\r\n"
           u"    TITLE \"A1\"\r\n    INDEX 01 00:00:00\r\n  TRACK 02 AUDIO\r\n    TITLE \"A2\"\r\n"
           u"    PERFORMER \"Other\"\r\n    INDEX 01 04:10:00\r\nFILE \"Side 2.mp3\" MP3\r\n  TRACK 03 AUDIO\r\n"
           u"    TITLE \"B1\"\r\n    INDEX 01 00:00:00\r\n  TRACK 04 AUDIO\r\n    TITLE \"B2\"\r\n"
           u"    INDEX 01 03:30:00\r\n"_s
        << QStringList{u"title=A1|performer=The Band|index=00:00:00|file=/m/Side 1.mp3"_s,
                       u"title=A2|performer=Other|index=04:10:00|file=/m/Side 1.mp3"_s,
                       u"title=B1|performer=The Band|index=00:00:00|file=/m/Side 2.mp3"_s,
                       u"title=B2|performer=The Band|index=03:30:00|file=/m/Side 2.mp3"_s}
        << QStringList{u"/m/Side 1.mp3"_s, u"/m/Side 2.mp3"_s};
    QTest::newRow("two discs in folders, numbers starting again")
        << u"REM DISCID 860B640B\nPERFORMER \"Orchestra\"\nTITLE \"Complete\"\nFILE \"CD1/disc.ogg\" OGG\n"
           u"  TRACK 01 AUDIO\n    TITLE \"I\"\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    TITLE \"II\"\n"
           u"    INDEX 00 05:00:00\n    INDEX 01 05:02:00\nFILE \"CD2/disc.ogg\" OGG\n  TRACK 01 AUDIO\n"
           u"    TITLE \"III\"\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    TITLE \"IV\"\n    INDEX 01 07:00:00\n"_s
        << QStringList{u"title=I|performer=Orchestra|index=00:00:00|file=/m/CD1/disc.ogg"_s,
                       u"title=II|performer=Orchestra|index=05:02:00|file=/m/CD1/disc.ogg"_s,
                       u"title=III|performer=Orchestra|index=00:00:00|file=/m/CD2/disc.ogg"_s,
                       u"title=IV|performer=Orchestra|index=07:00:00|file=/m/CD2/disc.ogg"_s}
        << QStringList{u"/m/CD1/disc.ogg"_s, u"/m/CD2/disc.ogg"_s};
    // Each gap ends the file before: a track's INDEX 00 stands under one FILE line, its INDEX 01 under the next.
    QTest::newRow("one file per track, gaps appended to the track before")
        << u"PERFORMER Band\nTITLE Album\nFILE \"01 - One.mp3\" MP3\n  TRACK 01 AUDIO\n    TITLE One\n"
           u"    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    TITLE Two\n    INDEX 00 04:58:00\n"
           u"FILE \"02 - Two.mp3\" MP3\n    INDEX 01 00:00:00\n  TRACK 03 AUDIO\n    TITLE Three\n"
           u"    INDEX 00 03:00:00\nFILE \"03 - Three.mp3\" MP3\n    INDEX 01 00:00:00\n"_s
        << QStringList{u"title=One|performer=Band|index=00:00:00|file=/m/01 - One.mp3"_s,
                       u"title=Two|performer=Band|index=00:00:00|file=/m/02 - Two.mp3"_s,
                       u"title=Three|performer=Band|index=00:00:00|file=/m/03 - Three.mp3"_s}
        << QStringList{u"/m/01 - One.mp3"_s, u"/m/02 - Two.mp3"_s, u"/m/03 - Three.mp3"_s};
    QTest::newRow("one file per track, each gap at the start of its own file")
        << u"PERFORMER Band\nFILE 01 One.mp3 MP3\nTRACK 01 AUDIO\nTITLE One\nINDEX 01 00:00:00\n"
           u"FILE 02 Two.flac WAVE\nTRACK 02 AUDIO\nTITLE Two\nINDEX 00 00:00:00\nINDEX 01 00:01:20\n"
           u"FILE 03.mp3\nTRACK 03 AUDIO\nINDEX 01 00:00:00"_s
        << QStringList{u"title=One|performer=Band|index=00:00:00|file=/m/01 One.mp3"_s,
                       u"title=Two|performer=Band|index=00:01:20|file=/m/02 Two.flac"_s,
                       u"performer=Band|index=00:00:00|file=/m/03.mp3"_s}
        << QStringList{u"/m/01 One.mp3"_s, u"/m/02 Two.flac"_s, u"/m/03.mp3"_s};
}

void CueReadingTest::layouts()
{
    QFETCH(QString, sheet);
    QFETCH(QStringList, tracks);
    QFETCH(QStringList, audioFiles);
    const velvane::CueReading reading = velvane::cueReadingFromLines(u"/m/live.cue"_s, velvane::linesInText(sheet));
    QCOMPARE(reading.tracks, tracksFrom(tracks));
    QCOMPARE(reading.audioFiles, audioFiles);
    QCOMPARE(reading.audio ? reading.audio->path : QString(), audioFiles.constFirst());
    QCOMPARE(velvane::checkStartTimes(reading.tracks, true), std::nullopt);
    // Read as one file, the times going back to 00:00:00 are refused.
    QCOMPARE(velvane::checkStartTimes(reading.tracks, false).has_value(), audioFiles.size() > 1);
}

// Per file, a track must start after every earlier track of the same file, however the files alternate.
void CueReadingTest::startTimesPerFile_data()
{
    QTest::addColumn<QStringList>("tracks");
    QTest::addColumn<QString>("problem");

    QTest::newRow("not rising within a file")
        << QStringList{u"index=00:00:00|file=a"_s, u"index=00:00:00|file=b"_s, u"index=00:00:00|file=b"_s}
        << u"Track 3 starts at 00:00:00, not after the track before it."_s;
    QTest::newRow("a file coming back starts no earlier than where it left off")
        << QStringList{u"index=00:00:00|file=a"_s, u"index=03:00:00|file=a"_s, u"index=00:00:00|file=b"_s,
                       u"index=02:00:00|file=a"_s}
        << u"Track 4 starts at 02:00:00, not after track 2, which comes from the same audio file."_s;
    QTest::newRow("a file coming back later on")
        << QStringList{u"index=00:00:00|file=a"_s, u"index=00:00:00|file=b"_s, u"index=03:00:00|file=a"_s} << QString();
}

void CueReadingTest::startTimesPerFile()
{
    QFETCH(QStringList, tracks);
    QFETCH(QString, problem);
    QCOMPARE(velvane::checkStartTimes(tracksFrom(tracks), true).value_or(QString()), problem);
}

void CueReadingTest::encodings_data()
{
    QTest::addColumn<QString>("encoding");
    QTest::addColumn<bool>("bom");
    QTest::addColumn<QString>("words"); // the performer, the audio file, then the track titles

    // Beyond the BMP too, so the UTF-16 files carry surrogate pairs.
    const QString mixed = u"Ñandú 🎸|Café del Mar.mp3|Группа|甘いワナ|Señor 🎹"_s;
    QTest::newRow("UTF-8") << u"UTF-8"_s << false << mixed;
    QTest::newRow("UTF-8 with BOM") << u"UTF-8"_s << true << mixed;
    QTest::newRow("UTF-16 LE with BOM") << u"UTF-16LE"_s << true << mixed;
    QTest::newRow("UTF-16 BE with BOM") << u"UTF-16BE"_s << true << mixed;
    QTest::newRow("Windows-1251") << u"windows-1251"_s << false
                                  << u"Кино|Группа крови.mp3|Закрой за мной дверь|Война"_s;
    QTest::newRow("Shift-JIS") << u"Shift_JIS"_s << false << u"宇多田ヒカル|ファースト・ラブ.mp3|自動的に|甘いワナ"_s;
    QTest::newRow("Windows-1252") << u"windows-1252"_s << false << u"Édith Piaf|Chansons.mp3|L’hymne à l’amour – été"_s;
}

// A sheet in any supported encoding reads as its UTF-8 twin does.
void CueReadingTest::encodings()
{
    QFETCH(QString, encoding);
    QFETCH(bool, bom);
    QFETCH(QString, words);
    const QStringList w = words.split(u'|');
    QString twin = u"PERFORMER \"%1\"\r\nFILE \"%2\" MP3\r\n"_s.arg(w.at(0), w.at(1));
    for (qsizetype i = 2; i < w.size(); ++i)
        twin += u"  TRACK 0%1 AUDIO\r\n    TITLE \"%2\"\r\n    INDEX 01 0%1:00:00\r\n"_s.arg(i - 1).arg(w.at(i));
    QStringEncoder encoder(encoding.toLatin1().constData(),
                           bom ? QStringEncoder::Flag::WriteBom : QStringEncoder::Flag::Default);
    const QByteArray bytes = encoder.encode(twin);
    QVERIFY(encoder.isValid() && !encoder.hasError());
    QCOMPARE(bytes.startsWith("\xEF\xBB\xBF"), bom && encoding == u"UTF-8"_s);
    // Legacy bytes that happened to be valid UTF-8 would prove nothing about detection.
    QVERIFY(encoding.startsWith(u"UTF") || QString::fromUtf8(bytes).toUtf8() != bytes);

    QTemporaryDir dir;
    QFile file(dir.filePath(u"encoded.cue"_s));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();
    const velvane::CueReading reading = velvane::readCueSheet(file.fileName());
    const velvane::CueReading twinReading = velvane::cueReadingFromLines(file.fileName(), velvane::linesInText(twin));
    QCOMPARE(twinReading.tracks.constLast().value(u"title"_s), w.constLast());
    QCOMPARE(reading.tracks, twinReading.tracks);
    QCOMPARE(reading.audio ? reading.audio->path : QString(), twinReading.audio->path);
}

QTEST_GUILESS_MAIN(CueReadingTest)
#include "tst_cuereading.moc"
