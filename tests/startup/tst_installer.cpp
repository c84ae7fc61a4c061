#include "core/startup/installplan.h"
#include "core/startup/requiredfiles.h"
#include "import_cue/import_cue.h"
#include "installer/installer.h"
#include "main/maininterface.h"
#include "support/files.h"

#include <QDir>
#include <QFile>
#include <QMainWindow>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace velvane;

namespace {

const QString incompleteSource = u"Velvane's own files are incomplete: "_s;

// Plays pkexec's part: records that the password was asked for, answers as told, and on a grant runs the
// commands with every /usr path moved under a temporary root.
QString fakePkexec(const QString &folder, const QString &answer, const QString &root)
{
    const QString path = folder + u"/pkexec"_s;
    const QString script = u"#!/bin/bash\ntouch \"$0.asked\"\n[[ %1 == dismissed ]] && exit 126\n"
                           u"[[ %1 == refused ]] && exit 127\nexec \"${@/#\\/usr/%2\\/usr}\"\n"_s.arg(answer, root);
    return velvane::test::writeFile(path, script.toUtf8()) &&
                   QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)
               ? path
               : QString();
}

// Runs a command shown for pasting in bash, with cp, ln and apt-get standing in as functions that print their
// arguments: what the shell makes of the quoting is what a user pasting it would get.
QStringList wordsAsTheShellSeesThem(const QString &command)
{
    QProcess shell;
    shell.start(u"/bin/bash"_s, {u"-c"_s, u"words() { printf '%s\\n' \"$@\"; }; cp() { words \"$@\"; }; "
                                          u"ln() { words \"$@\"; }; apt-get() { :; }; "_s +
                                              command});
    if (!shell.waitForFinished() || shell.exitCode() != 0)
        return {u"failed: "_s + QString::fromUtf8(shell.readAllStandardError())};
    return QString::fromUtf8(shell.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

} // namespace

class InstallerTest : public QObject
{
    Q_OBJECT

private slots:
    void versionGate_data()
    {
        QTest::addColumn<std::optional<StartupRefusal>>("refusal");
        QTest::addColumn<QString>("message"); // empty: the start goes on
        const QString withQt = u"This version of velvane can't be used with Qt %1!"_s;
        const QString jaguar = u"This version of velvane can't be used on MacOS X 10.2 (Jaguar)!"_s;
        QTest::newRow("AppKit 663.9") << appKitRefusal(663.9) << jaguar;
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

    void pastedCommandKeepsThePath_data()
    {
        QTest::addColumn<QString>("folderName");
        QTest::addColumn<bool>("linked"); // the prepared folder's splitter is a link to a path of the same name
        for (const bool linked : {false, true}) {
            for (const QString &name :
                 {u"build-1.2"_s, u"it's"_s, u"a 'b' \"c\""_s, u"$(touch pwned) `x` ; & | > \\"_s})
                QTest::addRow("%s %s", linked ? "link" : "copy", qPrintable(name)) << name << linked;
        }
    }
    void pastedCommandKeepsThePath()
    {
        QFETCH(QString, folderName);
        QFETCH(bool, linked);
        QTemporaryDir parent;
        const QString local = parent.filePath(folderName) + u"/local"_s;
        const QString target = parent.filePath(folderName) + u"/mp3splt"_s;
        QVERIFY(QDir().mkpath(local + u"/bin"_s));
        QVERIFY(!linked || QFile::link(target, local + u"/bin/mp3splt"_s));
        QVERIFY(QDir::setCurrent(parent.path()));

        const QStringList manual = wordsAsTheShellSeesThem(manualInstallCommand(local));
        QCOMPARE(manual, (linked ? QStringList{u"-s"_s, target, u"/usr/local/bin/mp3splt"_s}
                                 : QStringList{u"-R"_s, local, u"/usr/"_s}));
        QCOMPARE(wordsAsTheShellSeesThem(splitterFromPackageCommand(local)),
                 (QStringList{u"-s"_s, linked ? target : u"/usr/bin/mp3splt"_s, u"/usr/local/bin/mp3splt"_s}));
        QVERIFY(!QFileInfo::exists(parent.filePath(u"pwned"_s)));
    }

    void start_data()
    {
        QTest::addColumn<QString>("tools"); // what stands where the splitter belongs: a folder counts, a dead link not
        QTest::addColumn<int>("answer");    // the button pressed: 0 "Intall", 1 "Quit"
        QTest::addColumn<QString>("resources"); // the resource folder's local: whole, none, or its link dangling
        QTest::addColumn<QString>("prompt");    // pkexec: granted, dismissed, refused, missing; blocked: /usr is a file
        QTest::addColumn<bool>("started");
        QTest::addColumn<QString>("failure"); // the start of the alert that explains a failed install
        const QString whole = u"whole"_s, incomplete = incompleteSource;
        QTest::newRow("tools present") << u"folder"_s << 0 << whole << u"granted"_s << true << QString();
        QTest::newRow("install granted") << QString() << 0 << whole << u"granted"_s << true << QString();
        QTest::newRow("dead link, user quits") << u"dead link"_s << 1 << whole << u"granted"_s << false << QString();
        QTest::newRow("prompt dismissed") << QString() << 0 << whole << u"dismissed"_s << false << QString();
        QTest::newRow("no resource folder")
            << QString() << 0 << u"none"_s << u"granted"_s << false << incomplete + u"the folder "_s;
        QTest::newRow("resource link dangling")
            << QString() << 0 << u"dangling"_s << u"granted"_s << false << incomplete;
        QTest::newRow("rights refused") << QString() << 0 << whole << u"refused"_s << false
                                        << u"Administrator rights were not granted"_s;
        QTest::newRow("no pkexec") << QString() << 0 << whole << u"missing"_s << false
                                   << u"Velvane could not ask for administrator rights"_s;
        QTest::newRow("copy fails") << QString() << 0 << whole << u"blocked"_s << false
                                    << u"Copying the splitter into /usr/local failed"_s;
    }
    void start()
    {
        QFETCH(QString, tools);
        QFETCH(int, answer);
        QFETCH(QString, resources);
        QFETCH(QString, prompt);
        QFETCH(bool, started);
        QFETCH(QString, failure);
        QTemporaryDir root, resourceParent, pkexecFolder;
        // Every word reaches the root shell as data: a path that would run commands if it were code.
        QVERIFY(QDir::setCurrent(pkexecFolder.path()));
        const QString resourceFolder = resourceParent.filePath(u"it's $(touch pwned) `touch pwned`; \"x\""_s);
        const QString usrLocal = root.filePath(u"usr/local"_s), local = resourceFolder + u"/local"_s;
        QVERIFY(prompt == "blocked"_L1 ? QFile(root.filePath(u"usr"_s)).open(QIODevice::WriteOnly)
                                       : QDir().mkpath(usrLocal + u"/bin"_s));
        const bool present = tools == "folder"_L1;
        QVERIFY(!present || QDir().mkpath(usrLocal + u"/bin/mp3splt"_s));
        QVERIFY(tools != "dead link"_L1 || QFile::link(root.filePath(u"gone"_s), usrLocal + u"/bin/mp3splt"_s));
        const auto usrLocalModes = QFileInfo(usrLocal).permissions();
        // The link names what Debian's mp3splt package would provide; here a program that is always there, or not.
        // Only its owner may enter the source folder: the copy must not hand that on to the folders it merges into.
        const QString linked = resources == "dangling"_L1 ? resourceParent.filePath(u"gone/mp3splt"_s) : u"/bin/sh"_s;
        QVERIFY(resources == "none"_L1 ||
                (QDir().mkpath(local + u"/bin"_s) && QFile::link(linked, local + u"/bin/mp3splt"_s) &&
                 QFile::setPermissions(local, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)));
        const QString pkexec = prompt == "missing"_L1 ? pkexecFolder.filePath(u"nowhere/pkexec"_s)
                                                      : fakePkexec(pkexecFolder.path(), prompt, root.path());
        QVERIFY(!pkexec.isEmpty());
        const std::unique_ptr<PrivilegeLayer> privileges = makePkexecLayer(pkexec);

        // A window wanting more room than the screen has (a large scale factor) is shrunk to open wholly on it.
        MainInterface interface;
        QMainWindow *window = interface.mainWindow();
        const import_cue controller(window, interface.statusSheet(), interface.feedbackSheet(), {});
        const QRect area = window->screen()->availableGeometry();
        window->findChild<QWidget *>(u"table"_s)->setMinimumHeight(area.height() * 2);
        window->resize(area.size() * 2);
        QStringList shown; // each alert's title and buttons
        QString explanation;
        installer startup(window,
                          [&](const Alert &alert) {
                              shown << alert.title << alert.buttons;
                              if (alert.buttons == QStringList{u"Quit"_s})
                                  explanation = alert.message;
                              return answer;
                          },
                          *privileges, {root.path(), linuxRequiredFiles(), resourceFolder, {}});
        QCOMPARE(startup.awakeFromNib(), started);

        QStringList expected = present ? QStringList() : QStringList{u"Attention"_s, u"Intall"_s, u"Quit"_s};
        QCOMPARE(shown, expected + (failure.isEmpty() ? QStringList() : QStringList{u"Attention"_s, u"Quit"_s}));
        QVERIFY2(explanation.startsWith(failure), qPrintable(explanation));
        // What to type instead names the splitter the install would have linked, installing it when missing.
        if (failure.startsWith(incompleteSource)) {
            const QString target = resources == "none"_L1 ? u"/usr/bin/mp3splt"_s : linked;
            QVERIFY2(
                explanation.endsWith(u"\napt-get install mp3splt && ln -s %1 /usr/local/bin/mp3splt"_s.arg(target)) &&
                    (resources == "none"_L1 || explanation.contains(u"Debian's mp3splt is not installed"_s)),
                qPrintable(explanation));
        } else {
            QVERIFY(failure.isEmpty() || explanation.endsWith(u"\nln -s /bin/sh /usr/local/bin/mp3splt"_s));
        }

        const bool asked = !present && answer == 0 && resources == "whole"_L1 && prompt != "missing"_L1;
        QCOMPARE(QFileInfo::exists(pkexec + u".asked"_s), asked);
        QVERIFY(!QFileInfo::exists(u"pwned"_s));
        // An install reported as done has really put the splitter in place, and left /usr/local as it was.
        QVERIFY(!started || present ||
                (checkRequiredFiles(linuxRequiredFiles(), root.path()).present &&
                 QFileInfo(usrLocal).permissions() == usrLocalModes));
        QCOMPARE(window->isVisible(), started);
        const QPoint offCentre = window->frameGeometry().center() - area.center();
        QVERIFY(!started || (offCentre.manhattanLength() <= 2 && area.contains(window->frameGeometry()) &&
                             window->findChild<QWidget *>(u"splitButton"_s)->isVisibleTo(window)));
    }
};

QTEST_MAIN(InstallerTest)
#include "tst_installer.moc"
