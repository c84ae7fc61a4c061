#include "core/platform/filereplace.h"
#include "core/platform/processgroup.h"
#include "core/platform/terminationsignals.h"
#include "support/files.h"

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

void TestPlatform::signalBecomesARequest()
{
    QVERIFY(TerminationSignals::install());
    QCOMPARE(TerminationSignals::received(), 0);
    ::raise(SIGTERM);
    QCOMPARE(TerminationSignals::received(), SIGTERM);
    ::raise(SIGINT); // the first one counts
    QCOMPARE(TerminationSignals::received(), SIGTERM);
    pollfd wake{TerminationSignals::wakeDescriptor(), POLLIN, 0};
    QCOMPARE(::poll(&wake, 1, 1000), 1);
}

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
