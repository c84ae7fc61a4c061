#include "core/startup/installplan.h"
#include "core/startup/requiredfiles.h"
#include "installer/installer.h"
#include "main/maininterface.h"

#include <QDir>
#include <QFile>
#include <QMainWindow>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace velvane;

// The test stands in for the password prompt: it records what it is asked to run and answers with the verdict
// of the current data row.
class InstallerTest : public QObject, PrivilegeLayer
{
    Q_OBJECT

    QList<QList<PrivilegedCommand>> m_requests;

    PrivilegedRun runAsAdministrator(const QList<PrivilegedCommand> &commands) override
    {
        QFETCH(Authorisation, authorisation);
        m_requests.append(commands);
        return {authorisation,
                QList<CommandOutcome>(authorisation == Authorisation::Granted ? commands.size() : 0, {true, 0})};
    }

private slots:
    void toolCheck_data()
    {
        QTest::addColumn<int>("odd");      // the one entry that is not a plain file; -1: none
        QTest::addColumn<QString>("kind"); // what it is instead
        QTest::newRow("all present") << -1 << QString();
        QTest::newRow("first missing stops") << 0 << u"absent"_s;
        QTest::newRow("only the last missing") << 25 << u"absent"_s;
        QTest::newRow("a folder counts") << 0 << u"folder"_s;
        QTest::newRow("dangling link is missing") << 0 << u"dangling"_s;
    }
    void toolCheck()
    {
        QFETCH(int, odd);
        QFETCH(QString, kind);
        QTemporaryDir root;
        const QStringList paths = macRequiredFiles();
        for (qsizetype i = 0; i < paths.size(); ++i) {
            const QString path = root.path() + paths.at(i);
            QVERIFY(QDir().mkpath(QFileInfo(path).path()) && (i == odd || QFile(path).open(QIODevice::WriteOnly)));
            if (i == odd && kind != "absent"_L1)
                QVERIFY(kind == "folder"_L1 ? QDir().mkpath(path) : QFile::link(root.path() + u"/gone"_s, path));
        }
        const int missing = kind == "absent"_L1 || kind == "dangling"_L1 ? odd : -1;
        const ToolCheck check = checkRequiredFiles(paths, root.path());
        QCOMPARE(check.present, missing < 0);
        QCOMPARE(check.tested, missing < 0 ? int(paths.size()) : missing + 1);
        QCOMPARE(check.missing, paths.value(missing));
    }

    void versionGate_data()
    {
        QTest::addColumn<std::optional<StartupRefusal>>("refusal");
        QTest::addColumn<QString>("message"); // empty: the start goes on
        const QString withQt = u"This version of velvane can't be used with Qt %1!"_s;
        const QString jaguar = u"This version of velvane can't be used on MacOS X 10.2 (Jaguar)!"_s;
        QTest::newRow("AppKit 663.9") << appKitRefusal(663.9) << jaguar;
        QTest::newRow("AppKit 664") << appKitRefusal(664.0) << QString();
        QTest::newRow("Qt 6.4.0") << qtRefusal(u"6.4.0"_s, {6, 4}) << QString();
        QTest::newRow("Qt 6.3.2") << qtRefusal(u"6.3.2"_s, {6, 4}) << withQt.arg(u"6.3.2"_s);
        QTest::newRow("unreadable Qt") << qtRefusal(u"garbage"_s, {6, 4}) << withQt.arg(u"garbage"_s);
    }
    void versionGate()
    {
        QFETCH(std::optional<StartupRefusal>, refusal);
        QFETCH(QString, message);
        const QStringList got =
            refusal ? QStringList{refusal->title, refusal->message} + refusal->buttons : QStringList();
        QCOMPARE(got, (message.isEmpty() ? QStringList() : QStringList{u"Attention:"_s, message, u"Quit"_s}));
    }

    void pkexecRunsEverythingInOneCall()
    {
        const QString hostile = u"/tmp/it's \"$(rm -rf ~)\"; `x`/local"_s;
        const PkexecCall call = pkexecCall(installCommands(hostile));
        QCOMPARE(call.program + u' ' + call.arguments.mid(0, 2).join(u' '), u"pkexec /bin/sh -c"_s);
        QCOMPARE(call.arguments.mid(3),
                 (QStringList{u"sh"_s, u"/bin/mkdir"_s, u"-p"_s, u"/usr"_s, u"/bin/mkdir"_s, u"-p"_s, u"/usr/local"_s,
                              u"/bin/cp"_s, u"-f"_s, u"--preserve=timestamps"_s, u"-R"_s, hostile, u"/usr/"_s}));
        // The script depends on no word, so nothing from outside reaches the shell as code.
        QCOMPARE(pkexecCall(installCommands(u"/elsewhere/local"_s)).arguments.at(2), call.arguments.at(2));
    }

    // The copy merges into folders that exist already; they must keep their owner and modes.
    void theCopyLeavesExistingFoldersAlone()
    {
        QTemporaryDir source, target;
        const QString local = source.filePath(u"local"_s);
        QVERIFY(QDir().mkpath(local + u"/bin"_s) && QFile::link(u"/bin/true"_s, local + u"/bin/mp3splt"_s));
        QFile::setPermissions(local, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(QDir().mkpath(target.filePath(u"local/bin"_s)));
        const auto before = QFileInfo(target.filePath(u"local"_s)).permissions();

        PrivilegedCommand copy = installCommands(local).constLast();
        copy.arguments.last() = target.path() + u'/';
        QCOMPARE(QProcess::execute(copy.program, copy.arguments), 0);
        QCOMPARE(QFileInfo(target.filePath(u"local"_s)).permissions(), before);
        QVERIFY(QFileInfo(target.filePath(u"local/bin/mp3splt"_s)).isSymLink());
    }

    void start_data()
    {
        QTest::addColumn<bool>("tools");
        QTest::addColumn<int>("answer"); // the button pressed: 0 "Intall", 1 "Quit"
        QTest::addColumn<bool>("resources");
        QTest::addColumn<Authorisation>("authorisation");
        QTest::addColumn<bool>("started");
        QTest::newRow("tools present") << true << 0 << true << Authorisation::Granted << true;
        QTest::newRow("install granted") << false << 0 << true << Authorisation::Granted << true;
        QTest::newRow("user quits") << false << 1 << true << Authorisation::Granted << false;
        QTest::newRow("password refused") << false << 0 << true << Authorisation::Refused << false;
        QTest::newRow("no resource folder") << false << 0 << false << Authorisation::Granted << false;
    }
    void start()
    {
        QFETCH(bool, tools);
        QFETCH(int, answer);
        QFETCH(bool, resources);
        QFETCH(bool, started);
        QTemporaryDir root, resourceFolder;
        const QString local = resourceFolder.path() + u"/local"_s;
        QVERIFY(!tools || QDir().mkpath(root.path() + u"/usr/local/bin/mp3splt"_s));
        QVERIFY(!resources ||
                (QDir().mkpath(local + u"/bin"_s) && QFile::link(u"/bin/sh"_s, local + u"/bin/mp3splt"_s)));
        MainInterface interface;
        m_requests.clear();
        QStringList shown; // each alert's title and buttons
        installer startup(interface.mainWindow(),
                          [&](const Alert &alert) { return (shown << alert.title << alert.buttons, answer); }, *this,
                          {root.path(), linuxRequiredFiles(), resourceFolder.path(), {}});
        QCOMPARE(startup.awakeFromNib(), started);

        QCOMPARE(shown, (tools ? QStringList() : QStringList{u"Attention"_s, u"Intall"_s, u"Quit"_s}));
        const qsizetype asked = !tools && answer == 0 && resources ? 1 : 0;
        QCOMPARE(m_requests, QList<QList<PrivilegedCommand>>(asked, installCommands(local)));
        QMainWindow *window = interface.mainWindow();
        QCOMPARE(window->isVisible(), started);
        const QPoint offCentre = window->frameGeometry().center() - window->screen()->availableGeometry().center();
        QVERIFY(!started || offCentre.manhattanLength() <= 2);
    }
};

QTEST_MAIN(InstallerTest)
#include "tst_installer.moc"
