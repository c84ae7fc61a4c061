#include "components/audiolength.h"
#include "components/splittercommand.h"
#include "components/splitterrun.h"
#include "support/audiofixture.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace velvane;
using velvane::test::AlbumFormat;

namespace {

QByteArray hashOf(const QString &path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    return file.open(QIODevice::ReadOnly) && hash.addData(&file) ? hash.result() : QByteArray();
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

// Every event until the run is over, as "ready 0 01.mp3", "bad 1: reason", "finished" or "failed: reason".
QStringList eventsOf(SplitterRun &run, const std::function<bool()> &stop = {})
{
    QStringList events;
    for (;;) {
        const SplitterEvent event = run.next(stop);
        switch (event.kind) {
        case SplitterEvent::PieceReady:
            events << u"ready %1 %2"_s.arg(event.piece).arg(QFileInfo(event.path).fileName());
            break;
        case SplitterEvent::PieceBad:
            events << u"bad %1: %2"_s.arg(event.piece).arg(event.reason);
            break;
        case SplitterEvent::Finished:
            return events << u"finished"_s;
        case SplitterEvent::Failed:
            return events << u"failed: "_s + event.reason;
        }
    }
}

// Gone, or a zombie waiting for whoever inherited it.
bool processGone(qint64 pid)
{
    QFile stat(u"/proc/%1/stat"_s.arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray text = stat.readAll();
    return text.mid(text.lastIndexOf(')') + 2, 1) == "Z";
}

// Points VELVANE_MP3SPLT, until destroyed, at a shell script that runs code in the work folder with $REAL naming
// the real splitter; "missing" names no program at all, and no code keeps the real splitter.
class StandInSplitter
{
public:
    StandInSplitter(const QString &folder, const QByteArray &code)
        : m_saved(qgetenv("VELVANE_MP3SPLT"))
    {
        if (code.isEmpty())
            return;
        QFile program(folder + u"/splitter"_s);
        ok = program.open(QIODevice::WriteOnly) &&
             program.write("#!/bin/sh\nREAL='" + m_saved + "'\n" + code + '\n') > 0;
        program.close();
        ok = ok && program.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        qputenv("VELVANE_MP3SPLT", code == "missing" ? "/nonexistent/mp3splt" : QFile::encodeName(program.fileName()));
    }
    ~StandInSplitter() { qputenv("VELVANE_MP3SPLT", m_saved); }
    StandInSplitter(const StandInSplitter &) = delete;
    StandInSplitter &operator=(const StandInSplitter &) = delete;

    bool ok = true;

private:
    QByteArray m_saved;
};

} // namespace

class TestSplitterRun : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cueTimes_data();
    void cueTimes();
    void piecesMakeTheAlbum_data();
    void piecesMakeTheAlbum();
    void faultsAreTold_data();
    void faultsAreTold();
    void killsWhatItStarted_data();
    void killsWhatItStarted();
    void singleTrackRunner_data();
    void singleTrackRunner();
};

void TestSplitterRun::initTestCase()
{
    // The stand-ins call the real splitter through this too.
    QVERIFY(QFileInfo(qEnvironmentVariable("VELVANE_MP3SPLT")).isExecutable());
}

void TestSplitterRun::cueTimes_data()
{
    QTest::addColumn<QString>("cue");
    QTest::addColumn<QString>("converted"); // null: refused

    // A one-digit last field would mean tenths to the splitter.
    QTest::newRow("rounds up") << u"03:25:50"_s << u"03.25.67"_s;
    QTest::newRow("rounds down, two digits") << u"00:00:01"_s << u"00.00.01"_s;
    QTest::newRow("last frame, long album") << u"123:04:74"_s << u"123.04.99"_s;
    for (const QString &refused : {u""_s, u"03:25"_s, u"03:25:50:00"_s, u"03:60:00"_s, u"03:25:75"_s, u"-1:00:00"_s,
                                   u"1 07:31:05"_s, u"03.25.50"_s, u"\u0660\u0663:25:50"_s})
        QTest::newRow(qPrintable(u"refuses '"_s + refused + u"'"_s)) << refused << QString();
}

void TestSplitterRun::cueTimes()
{
    QFETCH(QString, cue);
    QFETCH(QString, converted);
    QCOMPARE(splitterTime(cue).value_or(QString()), converted);
}

void TestSplitterRun::piecesMakeTheAlbum_data()
{
    QTest::addColumn<AlbumFormat>("format");
    QTest::addColumn<int>("pieces");
    QTest::addColumn<bool>("joined"); // two encodes put end to end: the Info header covers the first only

    QTest::newRow("mp3 cbr") << AlbumFormat::Mp3Cbr << 3 << false;
    QTest::newRow("mp3 vbr -V2, 12 pieces") << AlbumFormat::Mp3Vbr2 << 12 << false;
    QTest::newRow("mp3 cbr, 105 pieces") << AlbumFormat::Mp3Cbr << 105 << false;
    QTest::newRow("ogg -q5") << AlbumFormat::OggQ5 << 3 << false;
    QTest::newRow("ogg -q5, 12 pieces") << AlbumFormat::OggQ5 << 12 << false;
    QTest::newRow("joined mp3") << AlbumFormat::Mp3Cbr << 2 << true;
}

void TestSplitterRun::piecesMakeTheAlbum()
{
    QFETCH(AlbumFormat, format);
    QFETCH(int, pieces);
    QFETCH(bool, joined);
    const bool isOgg = format == AlbumFormat::OggQ5;

    // Cue frames at uneven steps, none on a hundredth; the album ends off any frame or hundredth.
    QList<qint64> starts;
    for (int i = 0; i < pieces; ++i)
        starts << i * (pieces > 20 ? 17 : 203) + (i % 3);
    const double seconds = (starts.last() + 150) / 75.0 + 0.01234;
    QTemporaryDir dir(QDir::tempPath() + u"/It's \"$x\" `id` Grüße-XXXXXX"_s);
    QVERIFY(QDir(dir.path()).mkdir(u"work"_s));
    // The album is handed over by a relative name that looks like an option.
    const auto album = test::makeAlbum(dir.path(), format, {joined ? seconds / 3 : seconds}, u"-s"_s);
    QVERIFY(album);
    if (joined) {
        const auto second = test::makeAlbum(dir.path(), format, {seconds * 2 / 3}, u"second"_s);
        QFile file(album->path);
        QVERIFY(second && file.open(QIODevice::Append));
        QFile secondFile(second->path);
        QVERIFY(secondFile.open(QIODevice::ReadOnly) && file.write(secondFile.readAll()) > 0);
    }
    const QByteArray albumHash = hashOf(album->path);
    const auto whole = test::decodePcm(album->path).value_or(QList<qint16>());
    QCOMPARE(measureAudio(album->path, isOgg).value_or(AudioLength()).samples, whole.size());

    const QString saved = QDir::currentPath();
    const auto restore = qScopeGuard([&] { QDir::setCurrent(saved); });
    QVERIFY(QDir::setCurrent(dir.path()));
    SplitterRun run({QFileInfo(album->path).fileName(), isOgg, starts, std::nullopt, u"work"_s});
    const QStringList events = eventsOf(run);
    QDir::setCurrent(saved);

    // Pieces come in order under the splitter's zero-filled numbers, all of them ready.
    QStringList expected, names;
    const int width = int(QString::number(pieces).size());
    for (int i = 0; i < pieces; ++i) {
        names << u"%1.%2"_s.arg(i + 1, width, 10, QChar(u'0')).arg(isOgg ? u"ogg"_s : u"mp3"_s);
        expected << u"ready %1 %2"_s.arg(i).arg(names.last());
    }
    QCOMPARE(events, expected << u"finished"_s);
    QCOMPARE(entriesOf(dir.filePath(u"work"_s)), names);

    // Every cut within 3.3 ms of its cue time, and the pieces joined are the album, sample for sample, to its end.
    QList<qint16> pcm;
    for (int i = 0; i < pieces; ++i) {
        if (!joined) {
            const double cut = pcm.size() / double(test::sampleRate);
            QVERIFY2(qAbs(cut - starts[i] / 75.0) <= 0.0033, qPrintable(u"cut %1 at %2 s"_s.arg(i).arg(cut)));
        }
        pcm += test::decodePcm(dir.filePath(u"work/"_s + names[i])).value_or(QList<qint16>());
    }
    QCOMPARE(pcm.size(), whole.size());
    QVERIFY(pcm == whole);
    QCOMPARE(hashOf(album->path), albumHash);
}

void TestSplitterRun::faultsAreTold_data()
{
    QTest::addColumn<QByteArray>("splitter"); // the stand-in's shell code
    QTest::addColumn<QList<qint64>>("starts");
    QTest::addColumn<QStringList>("events");

    const QList<qint64> three{0, 75, 150}; // the album lasts 4 s
    QTest::newRow("start past the end") << QByteArray("exec \"$REAL\" \"$@\"") << QList<qint64>{0, 150, 375, 4500}
                                        << QStringList{
                                               u"ready 0 1.mp3"_s, u"ready 1 2.mp3"_s,
                                               u"bad 2: The track starts at 0:05, after the end of the audio (0:04)."_s,
                                               u"bad 3: The track starts at 1:00, after the end of the audio (0:04)."_s,
                                               u"finished"_s};
    QTest::newRow("only start past the end, which the splitter refuses")
        << QByteArray("exec \"$REAL\" \"$@\"") << QList<qint64>{375}
        << QStringList{u"bad 0: The track starts at 0:05, after the end of the audio (0:04)."_s, u"finished"_s};
    QTest::newRow("crash after the pieces")
        << QByteArray("\"$REAL\" \"$@\"; kill -SEGV $$") << three
        << QStringList{u"ready 0 1.mp3"_s, u"ready 1 2.mp3"_s, u"ready 2 3.mp3"_s, u"failed: The splitter crashed."_s};
    QTest::newRow("exit status, nothing made") << QByteArray("echo ' error: no luck'; exit 3") << three
                                               << QStringList{u"failed: The splitter failed with exit status 3."_s};
    QTest::newRow("one piece made, then a failure; the half-made one goes")
        << QByteArray("\"$REAL\" \"$@\" >log; head -c 999 3.mp3 >x; rm [23].mp3; mv x 2.mp3; head -n 6 log; exit 1")
        << three << QStringList{u"ready 0 1.mp3"_s, u"failed: The splitter failed with exit status 1."_s};
    QTest::newRow("short, empty and garbage pieces")
        << QByteArray("\"$REAL\" \"$@\" >log; head -c 9000 2.mp3 >x; mv x 2.mp3; : >3.mp3; "
                      "yes garbage | head -c 20000 >4.mp3; cat log")
        << QList<qint64>{0, 75, 150, 225}
        << QStringList{u"ready 0 1.mp3"_s, u"bad 1: The piece came out 0.43 s long instead of 1.00 s."_s,
                       u"bad 2: The splitter left an empty piece."_s,
                       u"bad 3: The splitter's piece is not playable MP3 audio."_s, u"finished"_s};
    QTest::newRow("quiet success without pieces")
        << QByteArray("exit 0") << three
        << QStringList{u"bad 0: The splitter made no piece for this track."_s,
                       u"bad 1: The splitter made no piece for this track."_s,
                       u"bad 2: The splitter made no piece for this track."_s, u"finished"_s};
    QTest::newRow("missing splitter") << QByteArray("missing") << three
                                      << QStringList{
                                             u"failed: The splitter /nonexistent/mp3splt could not be started."_s};
}

void TestSplitterRun::faultsAreTold()
{
    QFETCH(QByteArray, splitter);
    QFETCH(QList<qint64>, starts);
    QFETCH(QStringList, events);

    QTemporaryDir dir;
    const QString work = dir.filePath(u"work"_s);
    const auto album = test::makeAlbum(dir.path(), AlbumFormat::Mp3Cbr, {4.0});
    QVERIFY(album && QDir(dir.path()).mkdir(u"work"_s));
    const QByteArray albumHash = hashOf(album->path);
    const StandInSplitter standIn(dir.path(), splitter);
    QVERIFY(standIn.ok);
    QStringList ready;
    {
        SplitterRun run({album->path, false, starts, std::nullopt, work});
        QCOMPARE(eventsOf(run), events);
        QCOMPARE(run.next().kind, events.last() == u"finished"_s ? SplitterEvent::Finished : SplitterEvent::Failed);
    }
    // Only the ready pieces stay, beside what the stand-in left under other names; the album is untouched.
    for (const QString &event : std::as_const(events)) {
        if (event.startsWith(u"ready"_s))
            ready << event.section(u' ', 2);
    }
    QStringList left = entriesOf(work);
    left.removeAll(u"log"_s);
    QCOMPARE(left, ready);
    QCOMPARE(hashOf(album->path), albumHash);
}

void TestSplitterRun::killsWhatItStarted_data()
{
    QTest::addColumn<QByteArray>("splitter");
    QTest::addColumn<int>("stopAfterPolls"); // -1: never asked to stop
    QTest::addColumn<QStringList>("events"); // up to where the run is dropped

    // Each stand-in notes its own process and a child of its own, which must go with it.
    QTest::newRow("stalls") << QByteArray("sleep 600 & echo $$ $! >pids; wait") << -1
                            << QStringList{u"failed: The splitter made no progress for 0.3 s and was stopped."_s};
    QTest::newRow("stopped while it grows a piece")
        << QByteArray("(while :; do echo x >>1.mp3; sleep 0.02; done) & echo $$ $! >pids; wait") << 5
        << QStringList{u"failed: The split was stopped."_s};
    QTest::newRow("dropped after its first piece")
        << QByteArray("\"$REAL\" \"$@\" >log; rm 2.mp3; head -n 6 log; sleep 600 & echo $$ $! >pids; wait") << -1
        << QStringList{u"ready 0 1.mp3"_s};
}

void TestSplitterRun::killsWhatItStarted()
{
    QFETCH(QByteArray, splitter);
    QFETCH(int, stopAfterPolls);
    QFETCH(QStringList, events);

    QTemporaryDir dir;
    const QString work = dir.filePath(u"work"_s);
    const auto album = test::makeAlbum(dir.path(), AlbumFormat::Mp3Cbr, {2.0});
    QVERIFY(album && QDir(dir.path()).mkdir(u"work"_s));
    const StandInSplitter standIn(dir.path(), splitter);
    QVERIFY(standIn.ok);

    QStringList pids;
    {
        // Only the stand-in that stalls meets the short time-out; a busy machine must not make the others stall.
        const auto stallTimeout = std::chrono::milliseconds(QTest::currentDataTag() == "stalls"_L1 ? 300 : 60000);
        SplitterRun run({album->path, false, {0, 75}, std::nullopt, work, stallTimeout});
        int polls = 0;
        const auto stop = [&] {
            return stopAfterPolls >= 0 && QFile::exists(work + u"/pids"_s) && ++polls > stopAfterPolls;
        };
        QStringList seen;
        while (seen.size() < events.size()) {
            const SplitterEvent event = run.next(stop);
            seen << (event.kind == SplitterEvent::PieceReady ? u"ready %1 1.mp3"_s.arg(event.piece)
                                                             : u"failed: "_s + event.reason);
        }
        QCOMPARE(seen, events);
        QTRY_VERIFY(QFile::exists(work + u"/pids"_s));
        QFile file(work + u"/pids"_s);
        QVERIFY(file.open(QIODevice::ReadOnly));
        pids = QString::fromLatin1(file.readAll()).split(u' ', Qt::SkipEmptyParts);
        QCOMPARE(pids.size(), 2);
    }
    for (const QString &pid : std::as_const(pids))
        QTRY_VERIFY(processGone(pid.trimmed().toLongLong()));
    QStringList left = entriesOf(work);
    left.removeAll(u"log"_s);
    left.removeAll(u"pids"_s);
    QCOMPARE(left, events.first().startsWith(u"ready"_s) ? QStringList{u"1.mp3"_s} : QStringList());
}

void TestSplitterRun::singleTrackRunner_data()
{
    QTest::addColumn<QByteArray>("splitter"); // the stand-in's shell code; empty: the real splitter
    QTest::addColumn<qint64>("end");          // cue frames; -1: to the end
    QTest::addColumn<QString>("result");      // "ready" or the reason

    QTest::newRow("middle track") << QByteArray() << qint64(225) << u"ready"_s;
    QTest::newRow("last track, joined album") << QByteArray() << qint64(-1) << u"ready"_s;
    QTest::newRow("-b fails, cut again without")
        << QByteArray("case \" $* \" in *' -b '*) exit 1;; esac; exec \"$REAL\" \"$@\"") << qint64(-1) << u"ready"_s;
    QTest::newRow("-b piece short, cut again without")
        << QByteArray("\"$REAL\" \"$@\" >log; case \" $* \" in *' -b '*) head -c 5000 1.mp3 >x; mv x 1.mp3;; esac")
        << qint64(225) << u"ready"_s;
    QTest::newRow("fails both ways") << QByteArray("exit 1") << qint64(-1)
                                     << u"The splitter failed with exit status 1."_s;
}

void TestSplitterRun::singleTrackRunner()
{
    QFETCH(QByteArray, splitter);
    QFETCH(qint64, end);
    QFETCH(QString, result);

    // A joined album, so the last track must reach past what its header says.
    QTemporaryDir dir;
    const QString work = dir.filePath(u"work"_s);
    const auto album = test::makeAlbum(dir.path(), AlbumFormat::Mp3Vbr2, {1.0});
    const auto second = test::makeAlbum(dir.path(), AlbumFormat::Mp3Vbr2, {3.0}, u"second"_s);
    QVERIFY(album && second && QDir(dir.path()).mkdir(u"work"_s));
    QFile file(album->path);
    QFile secondFile(second->path);
    QVERIFY(file.open(QIODevice::Append) && secondFile.open(QIODevice::ReadOnly));
    QVERIFY(file.write(secondFile.readAll()) > 0);
    file.close();
    const qint64 albumSamples = test::decodePcm(album->path).value_or(QList<qint16>()).size();

    const StandInSplitter standIn(dir.path(), splitter);
    QVERIFY(standIn.ok);

    SplitterRun run({album->path, false, {120}, end < 0 ? std::nullopt : std::optional(end), work});
    const SplitterEvent event = run.next();
    QCOMPARE(event.kind == SplitterEvent::PieceReady ? u"ready"_s : event.reason, result);
    if (event.kind != SplitterEvent::PieceReady) {
        QCOMPARE(entriesOf(work).filter(u".mp3"_s), QStringList());
        return;
    }
    QCOMPARE(run.next().kind, SplitterEvent::Finished);
    const qint64 expected = end < 0 ? albumSamples - 120 * test::sampleRate / 75 : (end - 120) * test::sampleRate / 75;
    const qint64 samples = test::decodePcm(event.path).value_or(QList<qint16>()).size();
    QVERIFY2(qAbs(samples - expected) <= 1152, qPrintable(u"%1 samples, not %2"_s.arg(samples).arg(expected)));
}

QTEST_GUILESS_MAIN(TestSplitterRun)
#include "tst_splitterrun.moc"
