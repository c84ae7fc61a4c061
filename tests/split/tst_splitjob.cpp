#include "core/split/outputname.h"
#include "core/split/splitjob.h"
#include "support/files.h"
#include "support/splitters.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace velvane;

namespace {

class RecordingProgress : public SplitProgress
{
public:
    void showProcessing(const QString &name) override { events << name; }
    void showProcessed(int done, int total) override { events << u"%1/%2"_s.arg(done).arg(total); }
    void advanceBar() override { events << u"bar"_s; }
    QStringList events;
};

} // namespace

class SplitJobTest : public QObject
{
    Q_OBJECT

private slots:
    // Sheet text made fit for a name: separators and colons become ".", blank runs are halved with a "*" counting as
    // one blank, control characters and bidirectional overrides become "_". Numbers are zero-filled to the digits of
    // the track count, so that 100 sorts after 99, and a track without a performer is named by its title alone. A
    // name longer than the folder allows (255 bytes) is shortened between characters, the title first, keeping the
    // number, the extension and the " (n)" of a taken name.
    void names_data()
    {
        QTest::addColumn<int>("number"); // 0: not numbered
        QTest::addColumn<int>("trackCount");
        QTest::addColumn<QString>("performer");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("attempt");
        QTest::addColumn<QString>("expected");
        const QString e(1, QChar(0x00E9));
        QTest::newRow("9 of 12") << 9 << 12 << u"Band"_s << u"Song"_s << 1 << u"09 Band - Song.mp3"_s;
        QTest::newRow("10 of 12") << 10 << 12 << u"Band"_s << u"Song"_s << 1 << u"10 Band - Song.mp3"_s;
        QTest::newRow("99 of 99") << 99 << 99 << u"Band"_s << u"Song"_s << 1 << u"99 Band - Song.mp3"_s;
        QTest::newRow("7 of 100") << 7 << 100 << u"Band"_s << u"Song"_s << 1 << u"007 Band - Song.mp3"_s;
        QTest::newRow("10 of 120") << 10 << 120 << u"Band"_s << u"Song"_s << 1 << u"010 Band - Song.mp3"_s;
        QTest::newRow("100 of 120") << 100 << 120 << u"Band"_s << u"Song"_s << 1 << u"100 Band - Song.mp3"_s;
        QTest::newRow("42 of 1000") << 42 << 1000 << u"Band"_s << u"Song"_s << 1 << u"0042 Band - Song.mp3"_s;
        QTest::newRow("no title") << 3 << 3 << u"Band"_s << QString() << 1 << u"03 Band - .mp3"_s;
        QTest::newRow("no performer") << 3 << 3 << QString() << u"Song"_s << 1 << u"03 Song.mp3"_s;
        QTest::newRow("no performer, not numbered") << 0 << 3 << QString() << u"Song"_s << 2 << u"Song (2).mp3"_s;
        QTest::newRow("neither") << 0 << 3 << QString() << QString() << 1 << u" - .mp3"_s;
        QTest::newRow("colon and slash") << 0 << 3 << u"Band"_s << u"Intro: Take 1/2"_s << 1
                                         << u"Band - Intro. Take 1.2.mp3"_s;
        QTest::newRow("backslash, tab and blanks")
            << 0 << 3 << u"Band"_s << u"back\\slash\t A   B**C"_s << 1 << u"Band - back.slash A  B C.mp3"_s;
        QTest::newRow("quotes and blanks at the ends")
            << 0 << 3 << u"Band"_s << u" \"Où?\" "_s << 1 << u"Band -  \"Où?\" .mp3"_s;
        QTest::newRow("controls and bidirectional overrides")
            << 0 << 3 << u"\u202EdnaB\u202C"_s << u"\u2066A\u2069\u007F\u009B1m\u202A\u202B\u202D\u2067\u2068"_s << 1
            << u"_dnaB_ - _A___1m_____.mp3"_s;
        QTest::newRow("title cut in two-byte letters")
            << 7 << 12 << u"Band"_s << e.repeated(150) << 2 << u"07 Band - "_s + e.repeated(118) + u" (2).mp3"_s;
        QTest::newRow("a combining accent stays with its letter")
            << 7 << 12 << u"Band"_s << e.repeated(120) + u"e\u0301zz"_s << 1
            << u"07 Band - "_s + e.repeated(120) + u".mp3"_s;
        QTest::newRow("an emoji beside Gurmukhi is never cut in half")
            << 7 << 12 << u"Band"_s << u"\u0A38"_s + u"🎸"_s.repeated(70) << 1
            << u"07 Band - \u0A38"_s + u"🎸"_s.repeated(59) + u".mp3"_s;
        QTest::newRow("title alone cut, number of three digits")
            << 7 << 100 << QString() << e.repeated(150) << 1 << u"007 "_s + e.repeated(123) + u".mp3"_s;
        QTest::newRow("performer cut when the title is gone")
            << 7 << 12 << QString(300, u'p') << u"Song"_s << 3 << u"07 "_s + QString(241, u'p') + u" -  (3).mp3"_s;
    }
    void names()
    {
        QFETCH(int, number);
        QFETCH(int, trackCount);
        QFETCH(QString, performer);
        QFETCH(QString, title);
        QFETCH(int, attempt);
        QFETCH(QString, expected);
        TrackEntry track;
        if (!performer.isNull())
            track.insert(u"performer"_s, performer);
        if (!title.isNull())
            track.insert(u"title"_s, title);
        const OutputName name = outputNameParts(number, track, u"mp3"_s, number != 0, trackCount);
        QCOMPARE(name.fileName(attempt, 255), expected);
        QVERIFY(expected.toUtf8().size() <= 255);
    }

    // Every track is shown while it is made, then counted and stepped on the bar once, failed or not. A hidden
    // track before track 1 is shown too, but counts as none of the sheet's tracks ("3 of 2" would be wrong).
    void progress_data()
    {
        QTest::addColumn<QStringList>("starts");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("sentence");
        QTest::newRow("three tracks") << QStringList{u"00:00:00"_s, u"00:01:00"_s, u"00:02:00"_s}
                                      << QStringList{u"Band - One.mp3"_s,   u"1/3"_s, u"bar"_s,
                                                     u"Band - Two.mp3"_s,   u"2/3"_s, u"bar"_s,
                                                     u"Band - Three.mp3"_s, u"3/3"_s, u"bar"_s}
                                      << u"3 of 3 tracks failed: tracks 1, 2 and 3."_s;
        QTest::newRow("hidden track before two")
            << QStringList{u"00:30:00"_s, u"00:31:00"_s} << QStringList{u"Band - Pregap.mp3"_s,
                                                                        u"Band - One.mp3"_s,
                                                                        u"1/2"_s,
                                                                        u"bar"_s,
                                                                        u"Band - Two.mp3"_s,
                                                                        u"2/2"_s,
                                                                        u"bar"_s}
            << u"3 of 3 tracks failed: tracks 0, 1 and 2."_s;
    }
    void progress()
    {
        QFETCH(QStringList, starts);
        QFETCH(QStringList, expected);
        QFETCH(QString, sentence);
        QTemporaryDir dir;
        SplitSettings settings;
        settings.destination = dir.path();
        settings.audioFile = dir.filePath(u"album.mp3"_s);
        QVERIFY(test::writeFile(settings.audioFile, "no splitter ever reads this"));
        const QStringList titles{u"One"_s, u"Two"_s, u"Three"_s};
        for (qsizetype i = 0; i < starts.size(); ++i)
            settings.tracks.append(
                {{u"performer"_s, u"Band"_s}, {u"title"_s, titles.at(i)}, {u"index"_s, starts.at(i)}});
        const test::SplitterOverride missing(u"/nonexistent/mp3splt"_s);
        RecordingProgress progress;
        const SplitSummary summary = runSplitJob(settings, progress);
        QCOMPARE(progress.events, expected);
        QCOMPARE(failureSentence(summary), sentence);
    }
};

QTEST_GUILESS_MAIN(SplitJobTest)
#include "tst_splitjob.moc"
