#include "core/cue/cuereading.h"
#include "core/cue/linereader.h"
#include "core/split/starttimes.h"

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
    void lines_data();
    void lines();
    void sheets_data();
    void sheets();
    void startTimes_data();
    void startTimes();
    void unicodeForms_data();
    void unicodeForms();
};

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
    QTest::addColumn<QString>("format"); // the audio's, as its extension

    QTest::newRow("any keyword case; a missing, blank or bare performer takes the default; plain name, two extensions")
        << u"performer \"tHE bAND\"\nFile album.ogg.mp3 MP3\nTrack 01 Audio\ntitle \"iNTRO\"\nTRACK 02\n"
           u"PERFORMER \t\" \nTRACK 03\nPERFORMER"_s
        << QStringList{u"title=iNTRO|performer=tHE bAND|file=/m/album.ogg.mp3"_s,
                       u"performer=tHE bAND|file=/m/album.ogg.mp3"_s, u"performer=tHE bAND|file=/m/album.ogg.mp3"_s}
        << u"album.ogg.mp3"_s << u"mp3"_s;
    QTest::newRow("values lose blanks, tabs and unpaired quotes at the ends only; no FILE line, no file")
        << u"TRACK 01\nTITLE \t \"'a.mp3 \"b\"'\u00A0\"\" "_s << QStringList{u"title='a.mp3 \"b\"'\u00A0|performer="_s}
        << QString() << QString();
    QTest::newRow("lines before the first TRACK never make a track, nor a track without a line of its own")
        << u"TITLE Album\nINDEX 01 00:00:00\nFILE \"my.mp3 rips.mp3\" MP3\nTRACK 01\nFLAGS DCP\nTRACK 02\nTITLE A"_s
        << QStringList{u"title=A|performer=|file=/m/my.mp3 rips.mp3"_s} << u"my.mp3 rips.mp3"_s << u"mp3"_s;
    QTest::newRow("any type of file is a track's file; a name of slashes gives an empty one; first usable is audio")
        << u"FILE \"a.mp3.aiff\" AIFF\nTRACK 01\nTITLE A\nFILE my b.mp2\tWAVE\nTRACK 02\nFILE // WAVE\nTITLE B\n"
           u"INDEX 01 00:00:00\nfile \t \"cd1/c.Ogg\" OGG\nTRACK 03\nFILE d.mp3\nTITLE D"_s
        << QStringList{u"title=A|performer=|file=/m/a.mp3.aiff"_s, u"title=B|performer=|index=00:00:00|file="_s,
                       u"title=D|performer=|file=/m/cd1/c.Ogg"_s}
        << u"cd1/c.Ogg"_s << u"ogg"_s;
    QTest::newRow("index forms, the later INDEX winning; unusable names skipped, an unclosed quote")
        << u"FILE \"a.mp3.aiff\" AIFF\nFILE \"\" MP3\nFILE \"album.mp3 MP3\nTRACK\nINDEX 01 00:02:00\n"
           u"INDEX 00 04:00:12  \nTRACK\nINDEX 07:31:05\nTRACK\nINDEX 1 07:31:05\nTRACK\nINDEX 01\nTRACK\nINDEX "_s
        << QStringList{u"performer=|index=04:00:12|file=/m/album.mp3"_s,
                       u"performer=|index=07:31:05|file=/m/album.mp3"_s,
                       u"performer=|index=1 07:31:05|file=/m/album.mp3"_s, u"performer=|index=01|file=/m/album.mp3"_s,
                       u"performer=|index=|file=/m/album.mp3"_s}
        << u"album.mp3"_s << u"mp3"_s;
    QTest::newRow("one file per track, each gap at the start of its own file")
        << u"PERFORMER Band\nFILE 01 One.mp3 MP3\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
           u"FILE 02 Two.flac WAVE\nTRACK 02 AUDIO\nINDEX 00 00:00:00\nINDEX 01 00:01:20\n"_s
        << QStringList{u"performer=Band|index=00:00:00|file=/m/01 One.mp3"_s,
                       u"performer=Band|index=00:01:20|file=/m/02 Two.flac"_s}
        << u"01 One.mp3"_s << u"mp3"_s;
    QTest::newRow("lossless images, whatever the type word; a refused format is no audio")
        << u"FILE \"Live.ape\" WAVE\nFILE Range.flac WAVE\nTRACK 01 AUDIO\nTITLE A\nFILE \"b.WAV\" BINARY\nTRACK 02 "
           u"AUDIO\n"
           u"TITLE B"_s
        << QStringList{u"title=A|performer=|file=/m/Range.flac"_s, u"title=B|performer=|file=/m/b.WAV"_s}
        << u"Range.flac"_s << u"flac"_s;
    QTest::newRow("a WAV file first") << u"FILE \"side a.wav\" WAVE\nTRACK 01 AUDIO\nTITLE A"_s
                                      << QStringList{u"title=A|performer=|file=/m/side a.wav"_s} << u"side a.wav"_s
                                      << u"wav"_s;
}

void CueReadingTest::sheets()
{
    QFETCH(QString, sheet);
    QFETCH(QStringList, tracks);
    QFETCH(QString, audio);
    QFETCH(QString, format);
    const velvane::CueReading reading = velvane::cueReadingFromLines(u"/m/live.cue"_s, velvane::linesInText(sheet));
    QCOMPARE(reading.tracks, tracksFrom(tracks));
    QCOMPARE(reading.audio ? reading.audio->path : QString(), audio.isEmpty() ? QString() : u"/m/"_s + audio);
    QCOMPARE(reading.audio ? velvane::extensionOf(reading.audio->format) : QString(), format);
}

void CueReadingTest::startTimes_data()
{
    QTest::addColumn<QString>("times"); // split at ","; "-": no INDEX line; "time@file": per file
    QTest::addColumn<QString>("problem");

    QTest::newRow("long album, last frame") << u"00:10:00,03:25:50,123:04:74"_s << QString();
    QTest::newRow("no index") << u"00:00:00,-"_s << u"Track 2 has no start time."_s;
    QTest::newRow("empty index") << QString() << u"Track 1 has no start time."_s;
    // "1 07:31:05" keeps the index number; Arabic-Indic digits are digits to Unicode, not to the splitter.
    for (const QString &time : {u"03:25"_s, u"03:25:50:00"_s, u"03:60:00"_s, u"03:25:75"_s, u"-1:00:00"_s,
                                u"1 07:31:05"_s, u"03.25.50"_s, u"\u0660\u0663:25:50"_s}) {
        QTest::newRow(qPrintable(u"refuses "_s + time))
            << u"00:00:00,"_s + time
            << u"The start time of track 2, \"%1\", is not minutes:seconds:frames (seconds 0 to 59, frames 0 to 74)."_s
                   .arg(time);
    }
    QTest::newRow("the same time twice") << u"00:00:00,01:00:00,01:00:00"_s
                                         << u"Track 3 starts at 01:00:00, not after the track before it."_s;
    // Per file, a track must start after every earlier track of the same file, however the files alternate.
    QTest::newRow("not rising within a file")
        << u"00:00:00@a,00:00:00@b,00:00:00@b"_s << u"Track 3 starts at 00:00:00, not after the track before it."_s;
    QTest::newRow("a file coming back starts no earlier than where it left off")
        << u"00:00:00@a,03:00:00@a,00:00:00@b,02:00:00@a"_s
        << u"Track 4 starts at 02:00:00, not after track 2, which comes from the same audio file."_s;
    QTest::newRow("a file coming back later on") << u"00:00:00@a,00:00:00@b,03:00:00@a"_s << QString();
}

void CueReadingTest::startTimes()
{
    QFETCH(QString, times);
    QFETCH(QString, problem);
    velvane::TrackList tracks;
    for (const QString &time : times.split(u',')) {
        tracks.append(time == u"-"_s ? velvane::TrackEntry()
                                     : velvane::TrackEntry{{u"index"_s, time.section(u'@', 0, 0)},
                                                           {u"file"_s, time.section(u'@', 1)}});
    }
    QCOMPARE(velvane::checkStartTimes(tracks, times.contains(u'@')).value_or(QString()), problem);
}

void CueReadingTest::unicodeForms_data()
{
    QTest::addColumn<QString>("encoding");
    QTest::newRow("UTF-8 with BOM") << u"UTF-8"_s;
    QTest::newRow("UTF-16 LE with BOM") << u"UTF-16LE"_s;
    QTest::newRow("UTF-16 BE with BOM") << u"UTF-16BE"_s;
}

// A sheet in a Unicode form with its byte order mark reads as its plain twin, surrogate pairs included.
void CueReadingTest::unicodeForms()
{
    QFETCH(QString, encoding);
    const QString twin = u"PERFORMER \"Ñandú 🎸\"\r\nFILE \"Café del Mar.mp3\" MP3\r\n  TRACK 01 AUDIO\r\n"
                         u"    TITLE \"Группа\"\r\n    INDEX 01 00:00:00\r\n  TRACK 02 AUDIO\r\n"
                         u"    TITLE \"甘いワナ 🎹\"\r\n    INDEX 01 02:00:00\r\n"_s;
    QStringEncoder encoder(encoding.toLatin1().constData(), QStringEncoder::Flag::WriteBom);
    const QByteArray bytes = encoder.encode(twin);
    QTemporaryDir dir;
    QFile file(dir.filePath(u"encoded.cue"_s));
    QVERIFY(encoder.isValid() && file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();
    const velvane::CueReading reading = velvane::readCueSheet(file.fileName());
    const velvane::CueReading twinReading = velvane::cueReadingFromLines(file.fileName(), velvane::linesInText(twin));
    QCOMPARE(twinReading.tracks.constLast().value(u"title"_s), u"甘いワナ 🎹"_s);
    QCOMPARE(reading.tracks, twinReading.tracks);
    QCOMPARE(reading.audio ? reading.audio->path : QString(), twinReading.audio->path);
}

QTEST_GUILESS_MAIN(CueReadingTest)
#include "tst_cuereading.moc"
