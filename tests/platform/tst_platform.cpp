#include "components/splitter/splitterrun.h"
#include "core/platform/filereplace.h"
#include "core/platform/processgroup.h"
#include "core/platform/terminationsignals.h"
#include "support/audiofixture.h"
#include "support/files.h"
#include "support/splitters.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <poll.h>
#include <sys/types.h>

using namespace Qt::StringLiterals;
using namespace velvane;
using namespace velvane::test;

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void stampTellsFilesApart();
    void replaceTakesOnlyTheExaminedFile_data();
    void replaceTakesOnlyTheExaminedFile();
    void killReachesWhatTheProcessStarted();
    void stopEndsTheSplitter();
    void signalBecomesARequest();
};

void TestPlatform::stampTellsFilesApart()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(u"piece"_s), link = dir.filePath(u"link"_s);
    QVERIFY(writeFile(file, "audio"));
    QVERIFY(QFile::link(file, link));
    const auto stamp = stampOf(file);
    QVERIFY(stamp);
    QCOMPARE(stamp->size, 5);
    QVERIFY(!stampOf(link));
    QVERIFY(!stampOf(dir.path()));
    QVERIFY(!stampOf(dir.filePath(u"missing"_s)));
    QVERIFY(writeFile(file, "other audio"));
    QVERIFY(stampOf(file) != stamp);
}

void TestPlatform::replaceTakesOnlyTheExaminedFile_data()
{
    QTest::addColumn<QString>("change"); // what happens to the target between its examination and the replace
    QTest::addColumn<bool>("ok");

    QTest::newRow("unchanged") << QString() << true;
    QTest::newRow("rewritten") << u"rewrite"_s << false;
    QTest::newRow("removed") << u"remove"_s << false;
    QTest::newRow("a newcomer under its name") << u"newcomer"_s << false;
}

void TestPlatform::replaceTakesOnlyTheExaminedFile()
{
    QFETCH(QString, change);
    QFETCH(bool, ok);

    QTemporaryDir dir;
    const QString target = dir.filePath(u"piece"_s), replacement = dir.filePath(u".new"_s);
    QVERIFY(writeFile(target, "old piece"));
    QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    const auto permissions = QFile::permissions(target);
    const auto examined = stampOf(target);
    QVERIFY(writeFile(replacement, "tagged piece"));
    QVERIFY(adoptAccess(replacement, target));
    QCOMPARE(QFile::permissions(replacement), QFile::permissions(target));

    if (change == u"rewrite")
        QVERIFY(writeFile(target, "another piece"));
    else if (change == u"remove")
        QVERIFY(QFile::remove(target));
    else if (change == u"newcomer")
        QVERIFY(writeFile(target + u".tmp"_s, "a newcomer") && QFile::remove(target) &&
                QFile::rename(target + u".tmp"_s, target));
    const QByteArray standing = readFile(target);

    const FileReplacement result = replaceFile(replacement, target, *examined);
    QCOMPARE(result.ok, ok);
    QCOMPARE(result.targetChanged, !ok);
    QVERIFY(!result.keepReplacement);
    QCOMPARE(readFile(target), ok ? QByteArray("tagged piece") : standing);
    if (ok)
        QCOMPARE(QFile::permissions(target), permissions);
    // What the replacement's name holds now is the caller's to remove: the old piece, or the unused new one.
    if (!ok)
        QCOMPARE(readFile(replacement), QByteArray("tagged piece"));
}

void TestPlatform::killReachesWhatTheProcessStarted()
{
#ifdef VELVANE_PORTABLE
    constexpr bool startsGroups = false;
#else
    constexpr bool startsGroups = true;
#endif
    QProcess shell;
    startInOwnGroup(shell);
    shell.start(u"/bin/sh"_s, {u"-c"_s, u"sleep 60 & echo $!; wait"_s});
    QVERIFY(shell.waitForStarted() && shell.waitForReadyRead());
    const pid_t sleeper = pid_t(shell.readAll().trimmed().toLongLong());
    QVERIFY(sleeper > 0);
    killGroup(shell);
    QVERIFY(shell.waitForFinished());
    // A killed orphan may stay a zombie for as long as whoever adopted it does not reap it.
    const auto ended = [sleeper] {
        const QByteArray status = readFile(u"/proc/%1/stat"_s.arg(sleeper));
        return status.isEmpty() || status.contains(") Z ");
    };
    QTRY_VERIFY_WITH_TIMEOUT(ended() || !startsGroups, 2000);
    if (!startsGroups) {
        QVERIFY(!ended()); // without process groups the sleeper outlives the shell
        ::kill(sleeper, SIGKILL);
    }
}

// A stopped run ends its splitter through the platform's kill, at once, and leaves no piece behind.
void TestPlatform::stopEndsTheSplitter()
{
    QTemporaryDir dir;
    const auto album = makeAlbum(dir.path(), AlbumFormat::Mp3Cbr, {2.0});
    QVERIFY(album && QDir(dir.path()).mkdir(u"work"_s));
    const QString pidFile = dir.filePath(u"pid"_s);
    const SplitterOverride standIn(
        standInSplitter(dir.path(), "echo $$ >'" + pidFile.toUtf8() + "'; touch 1.mp3; exec sleep 60"));
    SplitterRun run({album->path, false, {0, 75}, std::nullopt, dir.filePath(u"work"_s)});
    run.start();
    QTRY_VERIFY_WITH_TIMEOUT(!readFile(pidFile).isEmpty(), 10000);
    const SplitterEvent event = run.next([] { return true; });
    QCOMPARE(event.kind, SplitterEvent::Failed);
    QCOMPARE(event.reason, u"The split was stopped."_s);
    QCOMPARE(entriesOf(dir.filePath(u"work"_s)), QStringList());
    const QByteArray status = readFile(u"/proc/%1/stat"_s.arg(QString::fromLatin1(readFile(pidFile).trimmed())));
    QVERIFY2(status.isEmpty() || status.contains(") Z "), status);
}

void TestPlatform::signalBecomesARequest()
{
    QVERIFY(TerminationSignals::install());
    QCOMPARE(TerminationSignals::received(), 0);
    ::raise(SIGHUP);
    QCOMPARE(TerminationSignals::received(), SIGHUP);
    ::raise(SIGINT); // the first one counts
    QCOMPARE(TerminationSignals::received(), SIGHUP);
#ifdef VELVANE_PORTABLE
    QCOMPARE(TerminationSignals::wakeDescriptor(), -1); // nothing to watch: the caller asks received()
#else
    pollfd wake{TerminationSignals::wakeDescriptor(), POLLIN, 0};
    QCOMPARE(::poll(&wake, 1, 1000), 1);
#endif
}

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
