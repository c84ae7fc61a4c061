#include "core/platform/filereplace.h"
#include "core/platform/processgroup.h"
#include "core/platform/terminationsignals.h"
#include "support/files.h"

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

// Whether the process is gone; a killed orphan may stay a zombie for as long as whoever adopted it does not reap it.
static bool ended(const QByteArray &pid)
{
    const QByteArray status = readFile(u"/proc/%1/stat"_s.arg(QString::fromLatin1(pid.trimmed())));
    return status.isEmpty() || status.contains(") Z ");
}

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    // What the replace takes is the very file examined: a link, a folder or nothing has no stamp to examine.
    void replaceTakesOnlyTheExaminedFile_data()
    {
        QTest::addColumn<QString>("change"); // what happens to the target between its examination and the replace
        QTest::newRow("unchanged") << QString();
        QTest::newRow("rewritten") << u"rewrite"_s;
        QTest::newRow("removed") << u"remove"_s;
        QTest::newRow("a newcomer of the same size under its name") << u"newcomer"_s;
    }
    void replaceTakesOnlyTheExaminedFile()
    {
        QFETCH(QString, change);
        QTemporaryDir dir;
        const QString target = dir.filePath(u"piece"_s), replacement = dir.filePath(u".new"_s);
        QVERIFY(writeFile(target, "old piece") && QFile::link(target, dir.filePath(u"link"_s)));
        QVERIFY(!stampOf(dir.filePath(u"link"_s)) && !stampOf(dir.path()) && !stampOf(dir.filePath(u"none"_s)));
        QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        const auto permissions = QFile::permissions(target);
        const auto examined = stampOf(target);
        QVERIFY(examined && writeFile(replacement, "tagged piece") && adoptAccess(replacement, target));
        if (change == u"rewrite")
            QVERIFY(writeFile(target, "another piece"));
        else if (change == u"remove")
            QVERIFY(QFile::remove(target));
        else if (change == u"newcomer") // the same size where files have an identity; the portable stamp needs more
            QVERIFY(writeFile(target + u".tmp"_s, examined->inode ? "new piece" : "a new piece") &&
                    QFile::remove(target) && QFile::rename(target + u".tmp"_s, target));
        const QByteArray standing = readFile(target);
        const bool ok = change.isEmpty();

        const FileReplacement result = replaceFile(replacement, target, *examined);
        QCOMPARE(result.ok, ok);
        QCOMPARE(result.targetChanged, !ok);
        QVERIFY(!result.keepReplacement);
        QCOMPARE(readFile(target), ok ? QByteArray("tagged piece") : standing);
        // Refused, what the replacement's name holds is the caller's to remove: the unused new piece.
        QVERIFY(ok ? QFile::permissions(target) == permissions : readFile(replacement) == "tagged piece");
    }

    void killReachesWhatTheProcessStarted()
    {
        QProcess shell;
        startInOwnGroup(shell);
        shell.start(u"/bin/sh"_s, {u"-c"_s, u"sleep 60 & echo $!; wait"_s});
        QVERIFY(shell.waitForStarted() && shell.waitForReadyRead());
        const QByteArray sleeper = shell.readAll();
        QVERIFY(sleeper.trimmed().toLongLong() > 0);
        killGroup(shell);
        QVERIFY(shell.waitForFinished());
#ifdef VELVANE_PORTABLE
        QVERIFY(!ended(sleeper)); // without process groups the sleeper outlives the shell
        ::kill(pid_t(sleeper.trimmed().toLongLong()), SIGKILL);
#else
        QTRY_VERIFY_WITH_TIMEOUT(ended(sleeper), 2000);
#endif
    }

    void signalBecomesARequest()
    {
        QVERIFY(TerminationSignals::install());
        QCOMPARE(TerminationSignals::received(), 0);
        ::raise(SIGHUP);
        ::raise(SIGINT); // the first one counts
        QCOMPARE(TerminationSignals::received(), SIGHUP);
#ifdef VELVANE_PORTABLE
        QCOMPARE(TerminationSignals::wakeDescriptor(), -1); // nothing to watch: the caller asks received()
#else
        pollfd wake{TerminationSignals::wakeDescriptor(), POLLIN, 0};
        QCOMPARE(::poll(&wake, 1, 1000), 1);
#endif
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
