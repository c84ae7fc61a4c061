#include "core/startup/installplan.h"
#include "core/startup/privileges.h"
#include "core/startup/requiredfiles.h"
#include "core/startup/resourcefolder.h"
#include "core/startup/versiongate.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace velvane;

namespace {

bool makeFile(const QString &path)
{
    QDir().mkpath(QFileInfo(path).path());
    return QFile(path).open(QIODevice::WriteOnly);
}

} // namespace

class StartupCoreTest : public QObject
{
    Q_OBJECT

private slots:
    void checkStopsAtFirstMissing_data()
    {
        QTest::addColumn<int>("missingIndex"); // -1: none
        QTest::addColumn<int>("tested");
        QTest::newRow("all present") << -1 << 26;
        QTest::newRow("splitter missing") << 0 << 1;
        QTest::newRow("only the last missing") << 25 << 26;
    }
    void checkStopsAtFirstMissing()
    {
        QFETCH(int, missingIndex);
        QFETCH(int, tested);
        QTemporaryDir root;
        const QStringList paths = macRequiredFiles();
        for (qsizetype i = 0; i < paths.size(); ++i)
            QVERIFY(i == missingIndex || makeFile(root.path() + paths.at(i)));

        const ToolCheck check = checkRequiredFiles(paths, root.path());
        QCOMPARE(check.present, missingIndex < 0);
        QCOMPARE(check.tested, tested);
        QCOMPARE(check.missing, missingIndex >= 0 ? paths.at(missingIndex) : QString());
    }

    void checkJudgesWhatIsAtThePath_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("present");
        QTest::newRow("folder") << u"folder"_s << true;
        QTest::newRow("link to a file") << u"link"_s << true;
        QTest::newRow("dangling link") << u"dangling"_s << false;
    }
    void checkJudgesWhatIsAtThePath()
    {
        QFETCH(QString, kind);
        QFETCH(bool, present);
        QTemporaryDir root;
        const QString path = root.path() + u"/usr/local/bin/mp3splt"_s;
        const QString target = root.path() + u"/target"_s;
        QVERIFY(QDir().mkpath(kind == "folder"_L1 ? path : QFileInfo(path).path()));
        if (kind == "link"_L1)
            QVERIFY(makeFile(target));
        if (kind != "folder"_L1)
            QVERIFY(QFile::link(target, path));

        QCOMPARE(checkRequiredFiles(linuxRequiredFiles(), root.path()).present, present);
    }

    void versionGates()
    {
        QVERIFY(appKitRefusal(663.9));
        QVERIFY(!appKitRefusal(664.0));
        const auto jaguar = appKitRefusal(663.0);
        QCOMPARE(jaguar->message, u"This version of velvane can't be used on MacOS X 10.2 (Jaguar)!"_s);

        const QVersionNumber oldest(6, 4);
        QVERIFY(!qtRefusal(u"6.4.0"_s, oldest));
        QVERIFY(!qtRefusal(u"6.7.1"_s, oldest));
        QVERIFY(qtRefusal(u"5.15.2"_s, oldest));
        QVERIFY(qtRefusal(u"garbage"_s, oldest));
        const auto old = qtRefusal(u"6.3.2"_s, oldest);
        QCOMPARE(old->title, u"Attention:"_s);
        QCOMPARE(old->message, u"This version of velvane can't be used with Qt 6.3.2!"_s);
        QCOMPARE(old->buttons, QStringList{u"Quit"_s});
    }

    void resourceFolderLookup()
    {
        QCOMPARE(resourceFolderFrom({}, u"/opt/velvane/bin"_s), u"/opt/velvane/share/velvane"_s);
        QCOMPARE(resourceFolderFrom(u"/tmp/res/"_s, u"/opt/velvane/bin"_s), u"/tmp/res"_s);
        // The build tree carries the splitter link the install copies.
        QVERIFY(QFileInfo(resourceFolder() + u"/local/bin/mp3splt"_s).isSymLink());
    }

    void pkexecRunsEverythingInOneCall()
    {
        const QString awkward = u"/tmp/it's \"$(rm -rf ~)\"; `x`/local"_s;
        const PkexecCall call = pkexecCall(installCommands(awkward));
        QCOMPARE(call.program, u"pkexec"_s);
        QCOMPARE(call.arguments.mid(0, 2), (QStringList{u"/bin/sh"_s, u"-c"_s}));
        QCOMPARE(call.arguments.mid(3),
                 (QStringList{u"sh"_s, u"/bin/mkdir"_s, u"-p"_s, u"/usr"_s, u"/bin/mkdir"_s, u"-p"_s, u"/usr/local"_s,
                              u"/bin/cp"_s, u"-f"_s, u"-p"_s, u"-R"_s, awkward, u"/usr/"_s}));
        // The script must not depend on any word, so nothing from outside can reach the shell as code.
        QCOMPARE(pkexecCall(installCommands(u"/elsewhere/local"_s)).arguments.at(2), call.arguments.at(2));
    }

    void pkexecScriptRunsTheWordsInOrder()
    {
        // Plain sh stands in for pkexec, to see that the script runs what it is given and reports each status.
        QTemporaryDir dir;
        const QString marker = dir.path() + u"/a b"_s;
        const PkexecCall call = pkexecCall({{u"/bin/mkdir"_s, {u"-p"_s, marker}},
                                            {u"/bin/sh"_s, {u"-c"_s, u"exit 3"_s}},
                                            {dir.path() + u"/absent"_s, {}},
                                            {u"/bin/rmdir"_s, {marker}}});
        QProcess process;
        process.start(call.arguments.at(0), call.arguments.mid(1));
        QVERIFY(process.waitForFinished());
        const PrivilegedRun run = pkexecResult(true, process.exitCode(), process.readAllStandardOutput(), 4);
        QCOMPARE(run.authorisation, Authorisation::Granted);
        QCOMPARE(run.outcomes.size(), 4);
        QVERIFY(run.outcomes.at(0).succeeded());
        QCOMPARE(run.outcomes.at(1).exitCode, 3);
        QVERIFY(!run.outcomes.at(2).started);
        QVERIFY(run.outcomes.at(3).succeeded());
        QVERIFY(!QFileInfo::exists(marker));
    }

    void pkexecVerdicts_data()
    {
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<Authorisation>("authorisation");
        QTest::addColumn<bool>("copied");
        QTest::newRow("dismissed") << 126 << QByteArray() << Authorisation::Refused << false;
        QTest::newRow("not authorised") << 127 << QByteArray() << Authorisation::NotAuthorised << false;
        QTest::newRow("copied") << 0 << "0\n0\n0\n"_ba << Authorisation::Granted << true;
        QTest::newRow("copy failed") << 0 << "1\n1\n1\n"_ba << Authorisation::Granted << false;
        QTest::newRow("killed before the copy") << -1 << "0\n0\n"_ba << Authorisation::Granted << false;
    }
    void pkexecVerdicts()
    {
        QFETCH(int, exitCode);
        QFETCH(QByteArray, output);
        QFETCH(Authorisation, authorisation);
        QFETCH(bool, copied);
        const PrivilegedRun run = pkexecResult(true, exitCode, output, 3);
        QCOMPARE(run.authorisation, authorisation);
        QCOMPARE(!run.outcomes.isEmpty() && run.outcomes.constLast().succeeded(), copied);
    }

    void directRunWaitsForEachCommand()
    {
        QTemporaryDir dir;
        const QString file = dir.path() + u"/f"_s;
        // rm only succeeds if the slow first command has finished.
        const PrivilegedRun run = runDirectly({{u"/bin/sh"_s, {u"-c"_s, u"sleep 0.2; : > \"$0\""_s, file}},
                                               {u"/bin/rm"_s, {file}},
                                               {dir.path() + u"/absent"_s, {}}});
        QCOMPARE(run.outcomes.size(), 3);
        QVERIFY(run.outcomes.at(1).succeeded());
        QVERIFY(!run.outcomes.at(2).started);
    }
};

QTEST_GUILESS_MAIN(StartupCoreTest)
#include "tst_startupcore.moc"
