#include "core/split/outputname.h"
#include "core/split/piecemove.h"
#include "core/split/splitjob.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace velvane;

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TrackEntry entry(const QString &performer, const std::optional<QString> &title, const QString &index = u"<missing>"_s)
{
    TrackEntry e{{u"performer"_s, performer}};
    if (title)
        e.insert(u"title"_s, *title);
    if (index != u"<missing>"_s)
        e.insert(u"index"_s, index);
    return e;
}

} // namespace

class NamingTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanedFilename_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("slash") << u"AC/DC"_s << u"AC.DC"_s;
        QTest::newRow("colon and slash") << u"Intro: Part 1/2"_s << u"Intro. Part 1.2"_s;
        QTest::newRow("backslash") << u"back\\slash"_s << u"back.slash"_s;
        QTest::newRow("tab") << u"A\tB"_s << u"A B"_s;
        QTest::newRow("two blanks") << u"A  B"_s << u"A B"_s;
        QTest::newRow("three blanks") << u"A   B"_s << u"A  B"_s;
        QTest::newRow("four blanks") << u"A    B"_s << u"A  B"_s;
        QTest::newRow("five blanks") << u"A     B"_s << u"A   B"_s;
        QTest::newRow("tab and blank") << u"A\t B"_s << u"A B"_s;
        QTest::newRow("star") << u"A*B"_s << u"A B"_s;
        QTest::newRow("two stars") << u"A**B"_s << u"A B"_s;
        QTest::newRow("ends kept") << u" A "_s << u" A "_s;
        QTest::newRow("others pass") << u"\"Où?\" — ça"_s << u"\"Où?\" — ça"_s;
        QTest::newRow("empty") << QString() << QString();
    }
    void cleanedFilename()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(velvane::cleanedFilename(text), expected);
    }

    void outputName_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("performer");
        QTest::addColumn<std::optional<QString>>("title");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<bool>("numbered");
        QTest::addColumn<QString>("expected");
        const QString band = u"Some Band"_s;
        const std::optional<QString> song = u"Song"_s;
        QTest::newRow("3 cleaned") << 3 << band << std::optional(u"Intro: Part 1/2"_s) << u"mp3"_s << true
                                   << u"03 Some Band - Intro. Part 1.2.mp3"_s;
        QTest::newRow("9") << 9 << band << song << u"mp3"_s << true << u"09 Some Band - Song.mp3"_s;
        QTest::newRow("10 ogg") << 10 << band << song << u"ogg"_s << true << u"10 Some Band - Song.ogg"_s;
        QTest::newRow("100") << 100 << band << song << u"mp3"_s << true << u"100 Some Band - Song.mp3"_s;
        QTest::newRow("unnumbered") << 3 << band << song << u"mp3"_s << false << u"Some Band - Song.mp3"_s;
        QTest::newRow("unnumbered 12") << 12 << band << song << u"mp3"_s << false << u"Some Band - Song.mp3"_s;
        QTest::newRow("empty title") << 1 << band << std::optional(QString()) << u"mp3"_s << false
                                     << u"Some Band - .mp3"_s;
        QTest::newRow("missing title") << 1 << band << std::optional<QString>() << u"mp3"_s << true
                                       << u"01 Some Band - .mp3"_s;
        QTest::newRow("performer cleaned") << 2 << u"AC/DC"_s << song << u"mp3"_s << true << u"02 AC.DC - Song.mp3"_s;
    }
    void outputName()
    {
        QFETCH(int, number);
        QFETCH(QString, performer);
        QFETCH(std::optional<QString>, title);
        QFETCH(QString, extension);
        QFETCH(bool, numbered);
        QFETCH(QString, expected);
        QCOMPARE(velvane::outputName(number, entry(performer, title), extension, numbered), expected);
    }

    void candidates_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("attempt");
        QTest::addColumn<QString>("expected");
        QTest::newRow("first") << u"/m/a"_s << u"01 B - S.mp3"_s << 1 << u"/m/a/01 B - S.mp3"_s;
        QTest::newRow("trailing slash") << u"/m/a/"_s << u"B - S.mp3"_s << 1 << u"/m/a/B - S.mp3"_s;
        QTest::newRow("second") << u"/m/a"_s << u"01 B - S.mp3"_s << 2 << u"/m/a/01 B - S (2).mp3"_s;
        QTest::newRow("dots in name") << u"/m"_s << u"B. - S.1.ogg"_s << 3 << u"/m/B. - S.1 (3).ogg"_s;
        QTest::newRow("no extension") << u"/m"_s << u"name"_s << 2 << u"/m/name (2)"_s;
    }
    void candidates()
    {
        QFETCH(QString, folder);
        QFETCH(QString, name);
        QFETCH(int, attempt);
        QFETCH(QString, expected);
        QCOMPARE(outputPathCandidate(folder, name, attempt), expected);
    }

    // Whatever stands at a name, file or link, stays as it was, and the piece goes to the next free name.
    void moveNeverReplaces()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString name = u"01 B - S.mp3"_s;
        writeFile(dir.filePath(name), "mine");
        QVERIFY(QFile::link(dir.filePath(u"nowhere"_s), dir.filePath(u"01 B - S (2).mp3"_s)));

        for (const QByteArray &content : {QByteArray("first"), QByteArray("second")}) {
            writeFile(dir.filePath(u"piece"_s), content);
            const PieceMove move = movePiece(dir.filePath(u"piece"_s), dir.path(), name);
            QVERIFY2(move.ok, qPrintable(move.reason));
            QCOMPARE(readFile(move.path), content);
        }
        QCOMPARE(readFile(dir.filePath(name)), QByteArray("mine"));
        QCOMPARE(QFileInfo(dir.filePath(u"01 B - S (2).mp3"_s)).symLinkTarget(), dir.filePath(u"nowhere"_s));
        QCOMPARE(readFile(dir.filePath(u"01 B - S (3).mp3"_s)), QByteArray("first"));
        QCOMPARE(readFile(dir.filePath(u"01 B - S (4).mp3"_s)), QByteArray("second"));
        QVERIFY(!QFileInfo::exists(dir.filePath(u"piece"_s)));
        QCOMPARE(freeOutputPath(dir.path(), name), dir.filePath(u"01 B - S (5).mp3"_s));
    }

    void moveFailures()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const PieceMove missing = movePiece(dir.filePath(u"out.mp3"_s), dir.path(), u"x.mp3"_s);
        QVERIFY(!missing.ok);
        QVERIFY(!missing.reason.isEmpty());

        writeFile(dir.filePath(u"piece"_s), "audio");
        const PieceMove nowhere = movePiece(dir.filePath(u"piece"_s), dir.filePath(u"gone"_s), u"x.mp3"_s);
        QVERIFY(!nowhere.ok);
        QVERIFY(!nowhere.reason.isEmpty());
        QCOMPARE(readFile(dir.filePath(u"piece"_s)), QByteArray("audio"));
    }

    void startTimes_data()
    {
        QTest::addColumn<QStringList>("indexes");
        QTest::addColumn<int>("offender"); // 0: accepted
        QTest::newRow("good") << QStringList{u"00:00:00"_s, u"03:25:50"_s, u"07:01:00"_s} << 0;
        QTest::newRow("late first, long minutes") << QStringList{u"00:10:00"_s, u"123:04:74"_s} << 0;
        QTest::newRow("empty list") << QStringList{} << 0;
        QTest::newRow("missing") << QStringList{u"00:00:00"_s, u"<missing>"_s, u"07:01:00"_s} << 2;
        QTest::newRow("empty") << QStringList{u"00:00:00"_s, u""_s} << 2;
        QTest::newRow("index number kept") << QStringList{u"00:00:00"_s, u"1 07:31:05"_s} << 2;
        QTest::newRow("seconds 60") << QStringList{u"00:60:00"_s} << 1;
        QTest::newRow("frames 75") << QStringList{u"00:00:00"_s, u"01:00:75"_s} << 2;
        QTest::newRow("two fields") << QStringList{u"03:25"_s} << 1;
        QTest::newRow("dots") << QStringList{u"03.25.50"_s} << 1;
        QTest::newRow("equal") << QStringList{u"00:00:00"_s, u"01:00:00"_s, u"01:00:00"_s} << 3;
        QTest::newRow("backwards") << QStringList{u"00:00:00"_s, u"05:00:00"_s, u"04:59:74"_s} << 3;
        QTest::newRow("first offender only") << QStringList{u"00:00:00"_s, u"x"_s, u"y"_s} << 2;
    }
    void startTimes()
    {
        QFETCH(QStringList, indexes);
        QFETCH(int, offender);
        TrackList tracks;
        for (const QString &index : indexes)
            tracks.append(entry(u"B"_s, u"S"_s, index));
        const std::optional<QString> problem = checkStartTimes(tracks);
        if (offender == 0) {
            QVERIFY2(!problem, qPrintable(problem.value_or(QString())));
            return;
        }
        QVERIFY(problem);
        QVERIFY2(problem->contains(u"track "_s + QString::number(offender), Qt::CaseInsensitive), qPrintable(*problem));
    }

    void failureSentence_data()
    {
        QTest::addColumn<QList<bool>>("results");
        QTest::addColumn<QString>("expected");
        QTest::newRow("none") << QList<bool>{true, true} << QString();
        QTest::newRow("one") << QList<bool>{true, false, true} << u"1 of 3 tracks failed: track 2."_s;
        QTest::newRow("two") << QList<bool>{false, true, false} << u"2 of 3 tracks failed: tracks 1 and 3."_s;
        QTest::newRow("three") << QList<bool>{false, false, true, false}
                               << u"3 of 4 tracks failed: tracks 1, 2 and 4."_s;
    }
    void failureSentence()
    {
        QFETCH(QList<bool>, results);
        QFETCH(QString, expected);
        SplitSummary summary;
        for (int i = 0; i < results.size(); ++i)
            summary.tracks.append({i + 1, results.at(i), {}, {}});
        QCOMPARE(velvane::failureSentence(summary), expected);
        QCOMPARE(summary.allSucceeded(), expected.isEmpty());
    }
};

QTEST_GUILESS_MAIN(NamingTest)
#include "tst_naming.moc"
