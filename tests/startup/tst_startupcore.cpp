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
    QFile file(path);
    return file.open(QIODevice::WriteOnly);
}

// Every required path under root, as regular files.
void populate(const QString &root, const QStringList &paths)
{
    for (const QString &path : paths)
        QVERIFY(makeFile(root + path));
}

} // namespace

class StartupCoreTest : public QObject
{
    Q_OBJECT

private slots:
    void macListHasEveryLibraryFile()
    {
        const QStringList paths = macRequiredFiles();
        QCOMPARE(paths.size(), 26);
        QCOMPARE(paths.first(), u"/usr/local/bin/mp3splt"_s);
        QCOMPARE(paths.at(1), u"/usr/local/lib/libmad.0.2.1.dylib"_s);
        QCOMPARE(paths.at(17), u"/usr/local/lib/libvorbisenc.2.dylib"_s);
        QCOMPARE(paths.last(), u"/usr/local/lib/libvorbisfile.la"_s);
        QCOMPARE(QSet<QString>(paths.begin(), paths.end()).size(), 26);
    }

    void checkStopsAtFirstMissing_data()
    {
        QTest::addColumn<int>("missingIndex"); // -1: none
        QTest::addColumn<bool>("present");
        QTest::addColumn<int>("tested");
        QTest::newRow("all present") << -1 << true << 26;
        QTest::newRow("splitter missing") << 0 << false << 1;
        QTest::newRow("only the last missing") << 25 << false << 26;
    }
    void checkStopsAtFirstMissing()
    {
        QFETCH(int, missingIndex);
        QFETCH(bool, present);
        QFETCH(int, tested);
        QTemporaryDir root;
        const QStringList paths = macRequiredFiles();
        populate(root.path(), paths);
        if (missingIndex >= 0)
            QVERIFY(QFile::remove(root.path() + paths.at(missingIndex)));

        const ToolCheck check = checkRequiredFiles(paths, root.path());
        QCOMPARE(check.present, present);
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
        QTest::newRow("nothing") << u"nothing"_s << false;
    }
    void checkJudgesWhatIsAtThePath()
    {
        QFETCH(QString, kind);
        QFETCH(bool, present);
        QTemporaryDir root;
        const QString path = root.path() + u"/usr/local/bin/mp3splt"_s;
        QVERIFY(QDir().mkpath(root.path() + u"/usr/local/bin"_s));
        const QString target = root.path() + u"/target"_s;
        if (kind == "folder"_L1)
            QVERIFY(QDir().mkpath(path));
        if (kind == "link"_L1)
            QVERIFY(makeFile(target));
        if (kind == "link"_L1 || kind == "dangling"_L1)
            QVERIFY(QFile::link(target, path));

        QCOMPARE(checkRequiredFiles(linuxRequiredFiles(), root.path()).present, present);
    }

    void installSourceMustHoldTheTree()
    {
        QTemporaryDir resources;
        const QString local = resources.path() + u"/local"_s;
        const QStringList paths = macRequiredFiles();
        QVERIFY(!checkInstallSource(paths, local).present);

        for (const QString &path : paths)
            QVERIFY(makeFile(local + path.mid(u"/usr/local"_s.size())));
        QVERIFY(checkInstallSource(paths, local).present);
        // A path outside /usr/local cannot come from the copy at all.
        QVERIFY(!checkInstallSource({u"/usr/bin/mp3splt"_s}, local).present);
    }

    void appKitGate_data()
    {
        QTest::addColumn<double>("version");
        QTest::addColumn<bool>("refused");
        QTest::newRow("10.1") << 620.0 << true;
        QTest::newRow("663.0") << 663.0 << true;
        QTest::newRow("663.9") << 663.9 << true;
        QTest::newRow("664.0") << 664.0 << false;
        QTest::newRow("10.3") << 743.0 << false;
    }
    void appKitGate()
    {
        QFETCH(double, version);
        QFETCH(bool, refused);
        const auto refusal = appKitRefusal(version);
        QCOMPARE(refusal.has_value(), refused);
        if (refusal) {
            QCOMPARE(refusal->title, u"Attention:"_s);
            QCOMPARE(refusal->message, u"This version of velvane can't be used on MacOS X 10.2 (Jaguar)!"_s);
            QCOMPARE(refusal->buttons, QStringList{u"Quit"_s});
        }
    }

    void qtGate_data()
    {
        QTest::addColumn<QString>("running");
        QTest::addColumn<bool>("refused");
        QTest::newRow("same") << u"6.4.0"_s << false;
        QTest::newRow("newer patch") << u"6.4.2"_s << false;
        QTest::newRow("newer minor") << u"6.7.1"_s << false;
        QTest::newRow("older minor") << u"6.3.2"_s << true;
        QTest::newRow("older major") << u"5.15.2"_s << true;
        QTest::newRow("unreadable") << u"garbage"_s << true;
    }
    void qtGate()
    {
        QFETCH(QString, running);
        QFETCH(bool, refused);
        const auto refusal = qtRefusal(running, QVersionNumber(6, 4));
        QCOMPARE(refusal.has_value(), refused);
        if (refusal) {
            QCOMPARE(refusal->title, u"Attention:"_s);
            QCOMPARE(refusal->message, u"This version of velvane can't be used with Qt %1!"_s.arg(running));
            QCOMPARE(refusal->buttons, QStringList{u"Quit"_s});
        }
    }

    void runningQtPasses() { QVERIFY(!currentVersionRefusal()); }

    void resourceFolderLookup()
    {
        QCOMPARE(resourceFolderFrom({}, u"/opt/velvane/bin"_s), u"/opt/velvane/share/velvane"_s);
        QCOMPARE(resourceFolderFrom(u"/tmp/res/"_s, u"/opt/velvane/bin"_s), u"/tmp/res"_s);
        // The build tree has the splitter link in place for the test run.
        QVERIFY(QFileInfo(resourceFolder() + u"/local/bin/mp3splt"_s).isSymLink());
    }

    void pkexecRunsEverythingInOneCall()
    {
        const QString awkward = u"/tmp/it's \"$(rm -rf ~)\"; `x`/local"_s;
        const QList<PrivilegedCommand> commands = installCommands(awkward);
        const PkexecCall call = pkexecCall(commands);
        QCOMPARE(call.program, u"pkexec"_s);
        QCOMPARE(call.arguments.mid(0, 2), (QStringList{u"/bin/sh"_s, u"-c"_s}));
        QCOMPARE(call.arguments.at(3), u"sh"_s);
        QCOMPARE(call.arguments.mid(4),
                 (QStringList{u"/bin/mkdir"_s, u"-p"_s, u"/usr"_s, u"/bin/mkdir"_s, u"-p"_s, u"/usr/local"_s,
                              u"/bin/cp"_s, u"-f"_s, u"-p"_s, u"-R"_s, awkward, u"/usr/"_s}));
        // The script must not depend on any word, so nothing from outside can reach the shell as code.
        const QString script = call.arguments.at(2);
        QCOMPARE(pkexecCall(installCommands(u"/elsewhere/local"_s)).arguments.at(2), script);
        QVERIFY(!script.contains(u"/bin/"_s));
    }

    void pkexecScriptRunsTheWordsInOrder()
    {
        // Runs the generated script with plain sh, standing in for pkexec, to see that it runs what it is given.
        QTemporaryDir dir;
        const QString marker = dir.path() + u"/a b"_s;
        const QList<PrivilegedCommand> commands{
            {u"/bin/mkdir"_s, {u"-p"_s, marker}},
            {u"/bin/sh"_s, {u"-c"_s, u"exit 3"_s}},
            {dir.path() + u"/absent"_s, {}},
            {u"/bin/rmdir"_s, {marker}},
        };
        const PkexecCall call = pkexecCall(commands);
        QProcess process;
        process.start(call.arguments.at(0), call.arguments.mid(1));
        QVERIFY(process.waitForFinished());
        QCOMPARE(process.exitCode(), 0);
        const PrivilegedRun run = pkexecResult(true, process.exitCode(), process.readAllStandardOutput(), 4);
        QCOMPARE(run.authorisation, Authorisation::Granted);
        QCOMPARE(run.outcomes.size(), 4);
        QVERIFY(run.outcomes.at(0).succeeded());
        QVERIFY(run.outcomes.at(1).started);
        QCOMPARE(run.outcomes.at(1).exitCode, 3);
        QVERIFY(!run.outcomes.at(2).started);
        QVERIFY(run.outcomes.at(3).succeeded());
        QVERIFY(!QFileInfo::exists(marker));
    }

    void pkexecVerdicts_data()
    {
        QTest::addColumn<bool>("started");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<Authorisation>("authorisation");
        QTest::addColumn<bool>("copied");
        QTest::newRow("no pkexec") << false << -1 << QByteArray() << Authorisation::Unavailable << false;
        QTest::newRow("dismissed") << true << 126 << QByteArray() << Authorisation::Refused << false;
        QTest::newRow("not authorised") << true << 127 << QByteArray() << Authorisation::NotAuthorised << false;
        QTest::newRow("copied") << true << 0 << "0\n0\n0\n"_ba << Authorisation::Granted << true;
        QTest::newRow("copy failed") << true << 0 << "0\n0\n1\n"_ba << Authorisation::Granted << false;
        QTest::newRow("killed before the copy") << true << -1 << "0\n0\n"_ba << Authorisation::Granted << false;
    }
    void pkexecVerdicts()
    {
        QFETCH(bool, started);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, output);
        QFETCH(Authorisation, authorisation);
        QFETCH(bool, copied);
        const PrivilegedRun run = pkexecResult(started, exitCode, output, 3);
        QCOMPARE(run.authorisation, authorisation);
        QCOMPARE(!run.outcomes.isEmpty() && run.outcomes.constLast().succeeded(), copied);
        if (authorisation == Authorisation::Granted)
            QCOMPARE(run.outcomes.size(), 3);
    }

    void directRunWaitsForEachCommand()
    {
        QTemporaryDir dir;
        const QString file = dir.path() + u"/f"_s;
        // The second command only succeeds if the first has finished.
        const PrivilegedRun run = runDirectly({{u"/bin/sh"_s, {u"-c"_s, u"sleep 0.2; : > \"$0\""_s, file}},
                                               {u"/bin/rm"_s, {file}},
                                               {dir.path() + u"/absent"_s, {}}});
        QCOMPARE(run.authorisation, Authorisation::Granted);
        QCOMPARE(run.outcomes.size(), 3);
        QVERIFY(run.outcomes.at(0).succeeded());
        QVERIFY(run.outcomes.at(1).succeeded());
        QVERIFY(!run.outcomes.at(2).started);
    }
};

QTEST_GUILESS_MAIN(StartupCoreTest)
#include "tst_startupcore.moc"
