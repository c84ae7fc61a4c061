#include "core/cue/cuereading.h"
#include "core/cue/linereader.h"
#include "core/split/starttimes.h"
#include "support/files.h"

#include <QRegularExpression>
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

    void lines_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("LF; indentation and blank lines go, trailing blanks stay")
            << u"\n \t\n  TITLE \"A\"\n\t\n\tINDEX 01  \n\n "_s << QStringList{u"TITLE \"A\""_s, u"INDEX 01  "_s};
        QTest::newRow("CR LF and CR, a tail of white space only")
            << u"TITLE \"A\"\r\nINDEX 01\r \t\f\v\u0085\r"_s << QStringList{u"TITLE \"A\""_s, u"INDEX 01"_s};
        QTest::newRow("wider white space skipped before a line, kept inside; BOM and zero width space kept")
            << u"\f\v\u0085\u00A0A \f\v\u00A0\u2028x\n\u1680\u2028\u3000B\n\uFEFFC\r\u200BD"_s
            << QStringList{u"A \f\v\u00A0\u2028x"_s, u"B"_s, u"\uFEFFC"_s, u"\u200BD"_s};
    }

    void lines()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        QCOMPARE(velvane::linesInText(text), expected);
    }

    // Each sheet is read as if at /m/live.cue; the audio name is relative to /m, empty when no FILE line is usable.
    void sheets_data()
    {
        QTest::addColumn<QString>("sheet");
        QTest::addColumn<QStringList>("tracks");
        QTest::addColumn<QString>("audio");
        QTest::addColumn<QString>("format"); // the audio's, as its extension

        QTest::newRow(
            "any keyword case; a missing, blank or bare performer takes the default; plain name, two extensions")
            << u"performer \"tHE bAND\"\nFile album.ogg.mp3 MP3\nTrack 01 Audio\ntitle \"iNTRO\"\nTRACK 02\n"
               u"PERFORMER \t\" \nTRACK 03\nPERFORMER"_s
            << QStringList{u"title=iNTRO|performer=tHE bAND|file=/m/album.ogg.mp3"_s,
                           u"performer=tHE bAND|file=/m/album.ogg.mp3"_s, u"performer=tHE bAND|file=/m/album.ogg.mp3"_s}
            << u"album.ogg.mp3"_s << u"mp3"_s;
        QTest::newRow("values lose blanks, tabs and unpaired quotes at the ends only; no FILE line, no file")
            << u"TRACK 01\nTITLE \t \"'a.mp3 \"b\"'\u00A0\"\" "_s
            << QStringList{u"title='a.mp3 \"b\"'\u00A0|performer="_s} << QString() << QString();
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
                           u"performer=|index=1 07:31:05|file=/m/album.mp3"_s,
                           u"performer=|index=01|file=/m/album.mp3"_s, u"performer=|index=|file=/m/album.mp3"_s}
            << u"album.mp3"_s << u"mp3"_s;
        QTest::newRow("lossless images, whatever the type word; a refused format is no audio")
            << u"FILE \"Live.ape\" WAVE\nFILE Range.flac WAVE\nTRACK 01 AUDIO\nTITLE A\nFILE \"b.WAV\" BINARY\n"
               u"TRACK 02 AUDIO\nTITLE B"_s
            << QStringList{u"title=A|performer=|file=/m/Range.flac"_s, u"title=B|performer=|file=/m/b.WAV"_s}
            << u"Range.flac"_s << u"flac"_s;
        QTest::newRow("a track's songwriter, ISRC and ReplayGain; the album's lines are not a track's")
            << u"SONGWRITER Al\nREM REPLAYGAIN_TRACK_GAIN -1 dB\nTRACK 01\nSONGWRITER \"Bo\"\nisrc GBAYE0000351\n"
               u"rem  replaygain_track_gain\t-7.20 dB\nREM REPLAYGAIN_TRACK_PEAK 0.98\nREM\nREM DATE 1978\nTRACK 02"_s
            << QStringList{u"performer=|songwriter=Bo|isrc=GBAYE0000351|replaygain_track_gain=-7.20 dB|"
                           u"replaygain_track_peak=0.98"_s}
            << QString() << QString();
    }

    // The album as "key=value|..." of the fields read: title, performer, songwriter, date, genre, catalog, comment,
    // disc ("n/total") and gain ("gain/peak").
    void albumHeader_data()
    {
        QTest::addColumn<QString>("sheet");
        QTest::addColumn<QString>("album");

        QTest::newRow("every field, quoted or not, any case")
            << u"REM GENRE \"Hard Rock\"\nrem date 1978\nREM  COMMENT \"ExactAudioCopy v1.6\"\nCATALOG 0077774600125\n"
               u"PERFORMER \"Queen\"\nSONGWRITER Mercury\nTITLE \"Jazz\"\nREM DISCNUMBER 1\nREM TOTALDISCS 2\n"
               u"REM REPLAYGAIN_ALBUM_GAIN -8.12 dB\nREM REPLAYGAIN_ALBUM_PEAK 1.000000\nFILE \"a.mp3\" MP3\n"
               u"TRACK 01 AUDIO\nTITLE Mustapha\nPERFORMER Freddie\nREM DATE 1979\nREM DISCNUMBER 2\nCATALOG 1"_s
            << u"title=Jazz|performer=Queen|songwriter=Mercury|date=1978|genre=Hard Rock|catalog=0077774600125|"
               u"comment=ExactAudioCopy v1.6|disc=1/2|gain=-8.12 dB/1.000000"_s;
        QTest::newRow("disc number with its total; a later total wins")
            << u"REM DISCNUMBER 2/3\nREM TOTALDISCS 4"_s << u"disc=2/4"_s;
        QTest::newRow("disc number with its total, an earlier total kept")
            << u"REM TOTALDISCS 4\nREM DISCNUMBER \"2 / 3\""_s << u"disc=2/4"_s;
        QTest::newRow("bad numbers are none") << u"REM DISCNUMBER 1000\nREM TOTALDISCS -2"_s << QString();
        QTest::newRow("a half-bad pair is none") << u"REM DISCNUMBER 2/x\nREM TOTALDISCS \u0663"_s << QString();
        QTest::newRow("REM glued to its key, keys that only begin alike, bare keywords")
            << u"REMDATE 1978\nREM DATES 1979\nREM GENRE\nTITLE\nPERFORMER\nREM"_s << QString();
        const QString longValue(300, u'x');
        QTest::newRow("long, NUL and markup values kept as written")
            << u"TITLE \""_s + longValue + u"\"\nPERFORMER <b>A</b>&amp;\nREM COMMENT a\u0000b"_s
            << u"title="_s + longValue + u"|performer=<b>A</b>&amp;|comment=a\u0000b"_s;
    }

    void albumHeader()
    {
        QFETCH(QString, sheet);
        QFETCH(QString, album);
        const velvane::SheetAlbum read =
            velvane::cueReadingFromLines(u"/m/live.cue"_s, velvane::linesInText(sheet)).sheetAlbum;
        const QString all =
            u"title=%1|performer=%2|songwriter=%3|date=%4|genre=%5|catalog=%6|comment=%7|"_s.arg(
                read.title, read.performer, read.songwriter, read.date, read.genre, read.catalog, read.comment) +
            u"disc=%1/%2|gain=%3/%4"_s.arg(read.discNumber)
                .arg(read.totalDiscs)
                .arg(read.replayGainGain, read.replayGainPeak);
        QCOMPARE(all.split(u'|').filter(QRegularExpression(u"=(?!(0/0|/)?$)"_s)).join(u'|'), album);
    }

    void sheets()
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

    void startTimes_data()
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
        QTest::newRow("the same time twice")
            << u"00:00:00,01:00:00,01:00:00"_s << u"Track 3 starts at 01:00:00, not after the track before it."_s;
        // Per file, a track must start after every earlier track of the same file, however the files alternate.
        QTest::newRow("not rising within a file")
            << u"00:00:00@a,00:00:00@b,00:00:00@b"_s << u"Track 3 starts at 00:00:00, not after the track before it."_s;
        QTest::newRow("a file coming back starts no earlier than where it left off")
            << u"00:00:00@a,03:00:00@a,00:00:00@b,02:00:00@a"_s
            << u"Track 4 starts at 02:00:00, not after track 2, which comes from the same audio file."_s;
        QTest::newRow("a file coming back later on") << u"00:00:00@a,00:00:00@b,03:00:00@a"_s << QString();
    }

    void startTimes()
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

    void unicodeForms_data()
    {
        QTest::addColumn<QString>("encoding");
        QTest::newRow("UTF-8 with BOM") << u"UTF-8"_s;
        QTest::newRow("UTF-16 LE with BOM") << u"UTF-16LE"_s;
        QTest::newRow("UTF-16 BE with BOM") << u"UTF-16BE"_s;
    }

    // A sheet in a Unicode form with its byte order mark reads as its plain twin, surrogate pairs included.
    void unicodeForms()
    {
        QFETCH(QString, encoding);
        const QString twin = u"PERFORMER \"Ñandú 🎸\"\r\nFILE \"Café del Mar.mp3\" MP3\r\n  TRACK 01 AUDIO\r\n"
                             u"    TITLE \"Группа\"\r\n    INDEX 01 00:00:00\r\n  TRACK 02 AUDIO\r\n"
                             u"    TITLE \"甘いワナ 🎹\"\r\n    INDEX 01 02:00:00\r\n"_s;
        QStringEncoder encoder(encoding.toLatin1().constData(), QStringEncoder::Flag::WriteBom);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"encoded.cue"_s);
        QVERIFY(encoder.isValid() && velvane::test::writeFile(path, encoder.encode(twin)));
        const velvane::CueReading reading = velvane::readCueSheet(path);
        const velvane::CueReading twinReading = velvane::cueReadingFromLines(path, velvane::linesInText(twin));
        QCOMPARE(reading.tracks, twinReading.tracks);
        QCOMPARE(reading.audio ? reading.audio->path : QString(), twinReading.audio->path);
    }
};

QTEST_GUILESS_MAIN(CueReadingTest)
#include "tst_cuereading.moc"
