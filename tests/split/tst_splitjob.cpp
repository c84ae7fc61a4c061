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
    // one blank. A name longer than the folder allows (255 bytes) is shortened between characters, the title first,
    // keeping the number, the extension and the " (n)" of a taken name.
    void names_data()
    {
        QTest::addColumn<int>("number"); // 0: not numbered
        QTest::addColumn<QString>("performer");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("attempt");
        QTest::addColumn<QString>("expected");
        const QString e(1, QChar(0x00E9));
        QTest::newRow("numbered 9") << 9 << u"Band"_s << u"Song"_s << 1 << u"09 Band - Song.mp3"_s;
        QTest::newRow("numbered 100") << 100 << u"Band"_s << u"Song"_s << 1 << u"100 Band - Song.mp3"_s;
        QTest::newRow("no title") << 3 << u"Band"_s << QString() << 1 << u"03 Band - .mp3"_s;
        QTest::newRow("colon and slash") << 0 << u"Band"_s << u"Intro: Take 1/2"_s << 1
                                         << u"Band - Intro. Take 1.2.mp3"_s;
        QTest::newRow("backslash, tab and blanks")
            << 0 << u"Band"_s << u"back\\slash\t A   B**C"_s << 1 << u"Band - back.slash A  B C.mp3"_s;
        QTest::newRow("quotes and blanks at the ends")
            << 0 << u"Band"_s << u" \"Où?\" "_s << 1 << u"Band -  \"Où?\" .mp3"_s;
        QTest::newRow("title cut in two-byte letters")
            << 7 << u"Band"_s << e.repeated(150) << 2 << u"07 Band - "_s + e.repeated(118) + u" (2).mp3"_s;
        QTest::newRow("a combining accent stays with its letter")
            << 7 << u"Band"_s << e.repeated(120) + u"e\u0301zz"_s << 1 << u"07 Band - "_s + e.repeated(120) + u".mp3"_s;
        QTest::newRow("an emoji beside Gurmukhi is never cut in half")
            << 7 << u"Band"_s << u"\u0A38"_s + u"🎸"_s.repeated(70) << 1
            << u"07 Band - \u0A38"_s + u"🎸"_s.repeated(59) + u".mp3"_s;
        QTest::newRow("performer cut when the title is gone")
            << 7 << QString(300, u'p') << u"Song"_s << 3 << u"07 "_s + QString(241, u'p') + u" -  (3).mp3"_s;
    }
    void names()
    {
        QFETCH(int, number);
        QFETCH(QString, performer);
        QFETCH(QString, title);
        QFETCH(int, attempt);
        QFETCH(QString, expected);
        TrackEntry track{{u"performer"_s, performer}};
        if (!title.isNull())
            track.insert(u"title"_s, title);
        const OutputName name = outputNameParts(number, track, u"mp3"_s, number != 0);
        QCOMPARE(name.fileName(attempt, 255), expected);
        QVERIFY(expected.toUtf8().size() <= 255);
    }

    // Every track is shown while it is made, then counted and stepped on the bar once, failed or not.
    void progress()
    {
        QTemporaryDir dir;
        SplitSettings settings;
        settings.destination = dir.path();
        settings.audioFile = dir.filePath(u"album.mp3"_s);
        QVERIFY(test::writeFile(settings.audioFile, "no splitter ever reads this"));
        QStringList expected;
        for (const QString &title : {u"One"_s, u"Two"_s, u"Three"_s}) {
            settings.tracks.append(
                {{u"performer"_s, u"Band"_s}, {u"title"_s, title}, {u"index"_s, u"00:0%1:00"_s.arg(expected.size())}});
            expected << u"Band - "_s + title + u".mp3"_s << u"%1/3"_s.arg(settings.tracks.size()) << u"bar"_s;
        }
        const test::SplitterOverride missing(u"/nonexistent/mp3splt"_s);
        RecordingProgress progress;
        const SplitSummary summary = runSplitJob(settings, progress);
        QCOMPARE(progress.events, expected);
        QCOMPARE(failureSentence(summary), u"3 of 3 tracks failed: tracks 1, 2 and 3."_s);
    }
};

QTEST_GUILESS_MAIN(SplitJobTest)
#include "tst_splitjob.moc"
