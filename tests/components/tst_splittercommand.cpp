#include "components/splitterrunner.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace velvane;

class TestSplitterCommand : public QObject
{
    Q_OBJECT

private slots:
    void times_data();
    void times();
    void albumCommands_data();
    void albumCommands();
    void malformedTimeGivesNoCommand();
};

void TestSplitterCommand::times_data()
{
    QTest::addColumn<QString>("cueTime");
    QTest::addColumn<QString>("expected"); // null: refused

    QTest::newRow("frames 50") << u"03:25:50"_s << u"03.25.67"_s;
    QTest::newRow("last frame") << u"123:04:74"_s << u"123.04.99"_s;
    QTest::newRow("no frames") << u"07:01:00"_s << u"07.01.00"_s;
    QTest::newRow("one frame keeps two digits") << u"00:00:01"_s << u"00.00.01"_s;
    QTest::newRow("rounds down") << u"00:00:37"_s << u"00.00.49"_s;
    QTest::newRow("minutes and seconds as written") << u"1:5:3"_s << u"1.5.04"_s;

    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("two fields") << u"03:25"_s << QString();
    QTest::newRow("four fields") << u"03:25:50:00"_s << QString();
    QTest::newRow("second 60") << u"03:60:00"_s << QString();
    QTest::newRow("frame 75") << u"03:25:75"_s << QString();
    QTest::newRow("sign") << u"-1:00:00"_s << QString();
    QTest::newRow("blank inside") << u"1 07:31:05"_s << QString();
    QTest::newRow("splitter notation") << u"03.25.50"_s << QString();
    QTest::newRow("arabic-indic digits") << u"\u0660\u0663:25:50"_s << QString();
}

void TestSplitterCommand::times()
{
    QFETCH(QString, cueTime);
    QFETCH(QString, expected);
    const auto converted = splitterTime(cueTime);
    QCOMPARE(converted.has_value(), !expected.isNull());
    if (converted)
        QCOMPARE(*converted, expected);
}

void TestSplitterCommand::albumCommands_data()
{
    QTest::addColumn<bool>("isOgg");
    QTest::addColumn<bool>("bitReservoir");
    QTest::addColumn<QList<QStringList>>("expected");

    const QString folder = u"/Volumes/Music/Album"_s;
    const QStringList mp3Head{u"-f"_s, u"-b"_s, u"-n"_s, u"-q"_s, u"-o"_s, u"out"_s, u"-d"_s, folder};
    const QString mp3 = u"/Volumes/Music/Album/album.mp3"_s;
    QTest::newRow("mp3") << false << true
                         << QList<QStringList>{mp3Head + QStringList{mp3, u"00.00.00"_s, u"03.25.67"_s},
                                               mp3Head + QStringList{mp3, u"03.25.67"_s, u"07.01.00"_s},
                                               mp3Head + QStringList{mp3, u"07.01.00"_s, u"999.00"_s}};

    QStringList plainHead = mp3Head;
    plainHead.removeAt(1);
    QTest::newRow("mp3 retry without -b")
        << false << false
        << QList<QStringList>{plainHead + QStringList{mp3, u"00.00.00"_s, u"03.25.67"_s},
                              plainHead + QStringList{mp3, u"03.25.67"_s, u"07.01.00"_s},
                              plainHead + QStringList{mp3, u"07.01.00"_s, u"999.00"_s}};

    // -f and -b are MP3 options; an Ogg run gets neither, whatever is asked.
    const QStringList oggHead{u"-n"_s, u"-q"_s, u"-o"_s, u"out"_s, u"-d"_s, folder};
    const QString ogg = u"/Volumes/Music/Album/album.ogg"_s;
    QTest::newRow("ogg") << true << true
                         << QList<QStringList>{oggHead + QStringList{ogg, u"00.00.00"_s, u"03.25.67"_s},
                                               oggHead + QStringList{ogg, u"03.25.67"_s, u"07.01.00"_s},
                                               oggHead + QStringList{ogg, u"07.01.00"_s, u"999.00"_s}};
}

void TestSplitterCommand::albumCommands()
{
    QFETCH(bool, isOgg);
    QFETCH(bool, bitReservoir);
    QFETCH(QList<QStringList>, expected);

    const QStringList starts{u"00:00:00"_s, u"03:25:50"_s, u"07:01:00"_s};
    for (int i = 0; i < starts.size(); ++i) {
        SplitterJob job;
        job.isOgg = isOgg;
        job.destination = u"/Volumes/Music/Album"_s;
        job.audioFile = isOgg ? u"/Volumes/Music/Album/album.ogg"_s : u"/Volumes/Music/Album/album.mp3"_s;
        job.startTime = starts[i];
        if (i + 1 < starts.size())
            job.endTime = starts[i + 1];
        const auto words = splitterArguments(job, bitReservoir);
        QVERIFY(words);
        QCOMPARE(*words, expected[i]);
    }
}

void TestSplitterCommand::malformedTimeGivesNoCommand()
{
    SplitterJob job{false, u"/tmp"_s, u"/tmp/a.mp3"_s, u"00:00:00"_s, u"1 07:31:05"_s};
    QVERIFY(!splitterArguments(job, true));
    job.endTime.reset();
    job.startTime = u"03:25"_s;
    QVERIFY(!splitterArguments(job, false));
}

QTEST_GUILESS_MAIN(TestSplitterCommand)
#include "tst_splittercommand.moc"
