#include "cuetestsupport.h"

#include "core/cue/cuereading.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class CueReadingTest : public QObject
{
    Q_OBJECT
private slots:
    void workedExample();
    void folderFields();
    void lines_data();
    void lines();
    void skipClass_data();
    void skipClass();
    void skipClassIsWhiteSpaceAndSeparators();
    void cleaning_data();
    void cleaning();
    void tracks_data();
    void tracks();
    void audioLookup_data();
    void audioLookup();
};

void CueReadingTest::workedExample()
{
    QTemporaryDir dir;
    const QString sheet = dir.filePath(u"Music/Live 1999/live.cue"_s);
    QVERIFY(writeFile(sheet, liveAlbumSheet.toUtf8()));

    const velvane::CueReading reading = velvane::readCueSheet(sheet);
    QCOMPARE(reading.destination, dir.filePath(u"Music/Live 1999"_s));
    QCOMPARE(reading.album, u"Live 1999"_s);
    QVERIFY(reading.audio);
    QCOMPARE(reading.audio->path, dir.filePath(u"Music/Live 1999/Live Album.mp3"_s));
    QCOMPARE(reading.audio->isOgg, false);
    const velvane::TrackList expected =
        tracksFrom({u"title=Intro|performer=The Band|index=00:00:00"_s,
                    u"title=Second Song|performer=The Band feat. Guest|index=04:00:12"_s,
                    u"title=Outro|performer=The Band|index=07:31:05"_s});
    QCOMPARE(reading.tracks, expected);
    QCOMPARE(velvane::readCueSheet(sheet).tracks, expected);
}

void CueReadingTest::folderFields()
{
    const velvane::CueReading root = velvane::cueReadingFromLines(u"/live.cue"_s, {u"FILE a.mp3"_s});
    QCOMPARE(root.destination, u"/"_s);
    QCOMPARE(root.album, u"/"_s);
    QCOMPARE(root.audio->path, u"/a.mp3"_s);

    QTemporaryDir dir;
    const velvane::CueReading missing = velvane::readCueSheet(dir.filePath(u"Gone/missing.cue"_s));
    QVERIFY(missing.tracks.isEmpty());
    QVERIFY(!missing.audio);
    QCOMPARE(missing.album, u"Gone"_s);
}

void CueReadingTest::lines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");

    const QStringList two{u"TITLE \"A\""_s, u"INDEX 01 00:00:00"_s};
    QTest::newRow("LF") << u"TITLE \"A\"\nINDEX 01 00:00:00\n"_s << two;
    QTest::newRow("CR LF, no break at the end") << u"TITLE \"A\"\r\nINDEX 01 00:00:00"_s << two;
    QTest::newRow("CR") << u"TITLE \"A\"\rINDEX 01 00:00:00\r"_s << two;
    QTest::newRow("indentation and blank lines go") << u"\n \t\r\n  TITLE \"A\"\n\t\n\tINDEX 01 00:00:00\n\n "_s << two;
    QTest::newRow("trailing blanks stay") << u"TITLE \"A\"  "_s << QStringList{u"TITLE \"A\"  "_s};
    QTest::newRow("only white space") << u" \t\r\n\f\v"_s << QStringList();
    QTest::newRow("form feed, vertical tab, no-break space: skipped before, kept inside")
        << u"\f\v\u00A0TITLE \f\"A\"\v\u00A0\nB"_s << QStringList{u"TITLE \f\"A\"\v\u00A0"_s, u"B"_s};
}

void CueReadingTest::lines()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QCOMPARE(velvane::linesInText(text), expected);
}

void CueReadingTest::skipClass_data()
{
    QTest::addColumn<char16_t>("character");
    QTest::addColumn<bool>("skipped");

    QTest::newRow("next line U+0085") << char16_t(0x0085) << true;
    QTest::newRow("no-break space U+00A0") << char16_t(0x00A0) << true;
    QTest::newRow("ogham space U+1680") << char16_t(0x1680) << true;
    QTest::newRow("line separator U+2028") << char16_t(0x2028) << true;
    QTest::newRow("byte-order mark U+FEFF") << char16_t(0xFEFF) << false;
    QTest::newRow("zero width space U+200B") << char16_t(0x200B) << false;
}

void CueReadingTest::skipClass()
{
    QFETCH(char16_t, character);
    QFETCH(bool, skipped);
    const QString c(QChar{character});
    const QStringList lines = velvane::linesInText(c + u"TITLE x\n"_s + c + c + u"INDEX y"_s);
    const QStringList expected =
        skipped ? QStringList{u"TITLE x"_s, u"INDEX y"_s} : QStringList{c + u"TITLE x"_s, c + c + u"INDEX y"_s};
    QCOMPARE(lines, expected);
}

// Tab to CR, NEL, and the space, line and paragraph separators: nothing more, nothing less.
void CueReadingTest::skipClassIsWhiteSpaceAndSeparators()
{
    for (char32_t u = 0; u <= 0xFFFF; ++u) {
        const QChar c{char16_t(u)};
        const bool expected = (u >= 0x09 && u <= 0x0D) || u == 0x85 || c.category() == QChar::Separator_Space ||
                              c.category() == QChar::Separator_Line || c.category() == QChar::Separator_Paragraph;
        if ((velvane::linesInText(QString(c) + u'x') == QStringList{u"x"_s}) != expected)
            QFAIL(qPrintable(
                u"U+%1 is wrongly %2"_s.arg(quint32(u), 4, 16, QChar(u'0')).arg(expected ? u"kept"_s : u"skipped"_s)));
    }
}

void CueReadingTest::cleaning_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("quoted") << u"\"Intro\""_s << u"Intro"_s;
    QTest::newRow("blanks, tabs and quotes") << u"\t \"x y\" "_s << u"x y"_s;
    QTest::newRow("nothing left") << u" \t\" "_s << u""_s;
    QTest::newRow("quotes are not paired") << u"\"Say \"Hi\"\""_s << u"Say \"Hi"_s;
    QTest::newRow("inside untouched") << u"a \"b\" c"_s << u"a \"b\" c"_s;
    QTest::newRow("single quotes and other white space stay") << u"'x'\u00A0"_s << u"'x'\u00A0"_s;
}

void CueReadingTest::cleaning()
{
    QFETCH(QString, value);
    QFETCH(QString, expected);
    QCOMPARE(velvane::cleanedString(value), expected);
}

void CueReadingTest::tracks_data()
{
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("keywords in any case, values keep theirs")
        << u"performer \"tHE bAND\"\nFile a.mp3\nTrack 01 Audio\ntitle \"iNTRO\"\niNdEx 01 00:00:00"_s
        << QStringList{u"title=iNTRO|performer=tHE bAND|index=00:00:00"_s};
    QTest::newRow("missing, empty or bare performer takes the default")
        << u"PERFORMER Band\nFILE a.mp3\nTRACK 01\nTITLE A\nTRACK 02\nPERFORMER \"\"\nTRACK 03\nPERFORMER"_s
        << QStringList{u"title=A|performer=Band"_s, u"performer=Band"_s, u"performer=Band"_s};
    QTest::newRow("header after FILE is a record; no default")
        << u"FILE a.mp3\nPERFORMER Band\nTITLE Album\nTRACK 01\nTITLE A\nINDEX 01 00:00:00"_s
        << QStringList{u"title=Album|performer=Band"_s, u"title=A|performer=|index=00:00:00"_s};
    QTest::newRow("a later FILE drops the track before it, keeping its performer")
        << u"PERFORMER Band\nFILE a.mp3\nTRACK 01\nTITLE A\nTRACK 02\nTITLE B\nPERFORMER Guest\nFILE b.mp3\n"
           u"TRACK 03\nTITLE C"_s
        << QStringList{u"title=A|performer=Band"_s, u"title=C|performer=Guest"_s};
    QTest::newRow("header and FILE only") << u"PERFORMER Band\nTITLE Album\nFILE a.mp3"_s << QStringList();
    QTest::newRow("no TRACK or FILE; the later INDEX wins")
        << u"TITLE A\nINDEX 01 00:02:00\nINDEX 00 00:00:00"_s << QStringList{u"title=A|performer=|index=00:00:00"_s};
    QTest::newRow("other lines ignored") << u"REM x\nCATALOG 1\nTRACK 01\nFLAGS DCP\nISRC X\nSONGWRITER S\nTITLE B"_s
                                         << QStringList{u"title=B|performer="_s};
    QTest::newRow("index forms")
        << u"INDEX 01 04:00:12  \nTRACK\nINDEX 07:31:05\nTRACK\nINDEX 1 07:31:05\nTRACK\nINDEX 01\nTRACK\nINDEX "_s
        << QStringList{u"performer=|index=04:00:12"_s, u"performer=|index=07:31:05"_s, u"performer=|index=1 07:31:05"_s,
                       u"performer=|index=01"_s, u"performer=|index="_s};
}

void CueReadingTest::tracks()
{
    QFETCH(QString, sheet);
    QFETCH(QStringList, expected);
    QCOMPARE(velvane::parseTrackLines(velvane::linesInText(sheet)), tracksFrom(expected));
}

void CueReadingTest::audioLookup_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("name"); // empty: no usable name
    QTest::addColumn<bool>("isOgg");

    QTest::newRow("quoted with type") << QStringList{u"FILE \"Live Album.mp3\" MP3"_s} << u"Live Album.mp3"_s << false;
    QTest::newRow("plain with type") << QStringList{u"FILE album.mp3 MP3"_s} << u"album.mp3"_s << false;
    QTest::newRow("plain alone") << QStringList{u"FILE album.mp3"_s} << u"album.mp3"_s << false;
    QTest::newRow("any case, extra blanks") << QStringList{u"file \t \"Album.MP3\" MP3"_s} << u"Album.MP3"_s << false;
    QTest::newRow("ogg with folders") << QStringList{u"FILE \"cd1/song.Ogg\" OGG"_s} << u"cd1/song.Ogg"_s << true;
    QTest::newRow("both extensions: MP3") << QStringList{u"FILE album.ogg.mp3"_s} << u"album.ogg.mp3"_s << false;
    QTest::newRow("wave skipped, then the first usable")
        << QStringList{u"FILE \"a.wav\" WAVE"_s, u"FILE \"b.ogg\" OGG"_s, u"FILE c.mp3"_s} << u"b.ogg"_s << true;
    QTest::newRow("nothing usable") << QStringList{u"FILE \"a.wav\" WAVE"_s, u"TITLE x.mp3"_s, u"FILE \"\" MP3"_s}
                                    << QString() << false;
    // A quoted name is taken whole, wherever else an extension turns up in it.
    QTest::newRow(".mp3 inside a quoted name")
        << QStringList{u"FILE \"my.mp3 rips.mp3\" MP3"_s} << u"my.mp3 rips.mp3"_s << false;
    QTest::newRow("quoted ogg with .mp3 inside")
        << QStringList{u"FILE \"a.mp3 b.ogg\" OGG"_s} << u"a.mp3 b.ogg"_s << true;
    QTest::newRow("quoted wave with .mp3 inside") << QStringList{u"FILE \"a.mp3.wav\" WAVE"_s} << QString() << false;
    QTest::newRow("unclosed quote") << QStringList{u"FILE \"album.mp3 MP3"_s} << u"album.mp3"_s << false;
}

void CueReadingTest::audioLookup()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, name);
    QFETCH(bool, isOgg);

    const auto audio = velvane::searchAudioInLines(lines, u"/Music/Live 1999/live.cue"_s);
    QCOMPARE(audio.has_value(), !name.isEmpty());
    if (audio) {
        QCOMPARE(audio->path, u"/Music/Live 1999/"_s + name);
        QCOMPARE(audio->isOgg, isOgg);
    }
}

QTEST_GUILESS_MAIN(CueReadingTest)
#include "tst_cuereading.moc"
