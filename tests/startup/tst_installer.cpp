#include "core/startup/installplan.h"
#include "core/startup/requiredfiles.h"
#include "installer/installer.h"
#include "main/maininterface.h"

#include <QDir>
#include <QFile>
#include <QMainWindow>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace velvane;

namespace {

// Plays pkexec's part: records that the password was asked for, answers as told, and on a grant runs the
// commands with every /usr path moved under a temporary root.
QString fakePkexec(const QString &folder, const QString &answer, const QString &root)
{
    const QString path = folder + u"/pkexec"_s;
    QFile script(path);
    if (!script.open(QIODevice::WriteOnly))
        return {};
    script.write(uR"(#!/bin/bash
touch "$0.asked"
case '%1' in
    dismissed) exit 126 ;;
    refused) exit 127 ;;
esac
args=()
for a in "$@"; do
    [[ $a == /usr || $a == /usr/* ]] && a='%2'$a
    args+=("$a")
done
exec "${args[@]}"
)"_s.arg(answer, root)
                     .toUtf8());
    script.setPermissions(script.permissions() | QFile::ExeOwner);
    return path;
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

    void start_data()
    {
        QTest::addColumn<QString>("tools"); // what stands where the splitter belongs: a folder counts, a dead link not
        QTest::addColumn<int>("answer");    // the button pressed: 0 "Intall", 1 "Quit"
        QTest::addColumn<bool>("resources");
        QTest::addColumn<QString>("prompt"); // pkexec: granted, dismissed, refused, missing; blocked: /usr is a file
        QTest::addColumn<bool>("started");
        QTest::addColumn<QString>("failure"); // the start of the alert that explains a failed install
        QTest::newRow("tools present") << u"folder"_s << 0 << true << u"granted"_s << true << QString();
        QTest::newRow("install granted") << QString() << 0 << true << u"granted"_s << true << QString();
        QTest::newRow("dead link, user quits") << u"dead link"_s << 1 << true << u"granted"_s << false << QString();
        QTest::newRow("prompt dismissed") << QString() << 0 << true << u"dismissed"_s << false << QString();
        QTest::newRow("no resource folder") << QString() << 0 << false << u"granted"_s << false << QString();
        QTest::newRow("rights refused") << QString() << 0 << true << u"refused"_s << false
                                        << u"Administrator rights were not granted"_s;
        QTest::newRow("no pkexec") << QString() << 0 << true << u"missing"_s << false
                                   << u"Velvane could not ask for administrator rights"_s;
        QTest::newRow("copy fails") << QString() << 0 << true << u"blocked"_s << false
                                    << u"Copying the splitter into /usr/local failed"_s;
    }
    void start()
    {
        QFETCH(QString, tools);
        QFETCH(int, answer);
        QFETCH(bool, resources);
        QFETCH(QString, prompt);
        QFETCH(bool, started);
        QFETCH(QString, failure);
        QTemporaryDir root, resourceParent, pkexecFolder;
        // Every word reaches the root shell as data: a path that would run commands if it were code.
        QVERIFY(QDir::setCurrent(pkexecFolder.path()));
        const QString resourceFolder = resourceParent.filePath(u"it's $(touch pwned) `touch pwned`; \"x\""_s);
        const QString usrLocal = root.filePath(u"usr/local"_s);
        if (prompt == "blocked"_L1)
            QVERIFY(QFile(root.filePath(u"usr"_s)).open(QIODevice::WriteOnly));
        else
            QVERIFY(QDir().mkpath(usrLocal + u"/bin"_s));
        const bool present = tools == "folder"_L1;
        QVERIFY(!present || QDir().mkpath(usrLocal + u"/bin/mp3splt"_s));
        QVERIFY(tools != "dead link"_L1 || QFile::link(root.filePath(u"gone"_s), usrLocal + u"/bin/mp3splt"_s));
        const auto usrLocalModes = QFileInfo(usrLocal).permissions();
        // A source folder only its owner may enter: the copy must not hand that on to the folders it merges into.
        const QString local = resourceFolder + u"/local"_s;
        QVERIFY(!resources ||
                (QDir().mkpath(local + u"/bin"_s) && QFile::link(u"/bin/sh"_s, local + u"/bin/mp3splt"_s) &&
                 QFile::setPermissions(local, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)));
        const QString pkexec = prompt == "missing"_L1 ? pkexecFolder.filePath(u"nowhere/pkexec"_s)
                                                      : fakePkexec(pkexecFolder.path(), prompt, root.path());
        QVERIFY(!pkexec.isEmpty());
        const std::unique_ptr<PrivilegeLayer> privileges = makePkexecLayer(pkexec);

        MainInterface interface;
        QStringList shown; // each alert's title and buttons
        QString explanation;
        installer startup(interface.mainWindow(),
                          [&](const Alert &alert) {
                              shown << alert.title << alert.buttons;
                              if (alert.buttons == QStringList{u"Quit"_s})
                                  explanation = alert.message;
                              return answer;
                          },
                          *privileges, {root.path(), linuxRequiredFiles(), resourceFolder, {}});
        QCOMPARE(startup.awakeFromNib(), started);

        QStringList expected = present ? QStringList() : QStringList{u"Attention"_s, u"Intall"_s, u"Quit"_s};
        if (!failure.isEmpty())
            expected << u"Attention"_s << u"Quit"_s;
        QCOMPARE(shown, expected);
        QVERIFY2(explanation.startsWith(failure), qPrintable(explanation));
        // What to type instead names the splitter the install would have linked.
        QVERIFY(failure.isEmpty() || explanation.endsWith(u"\nln -s /bin/sh /usr/local/bin/mp3splt"_s));

        const bool asked = !present && answer == 0 && resources && prompt != "missing"_L1;
        QCOMPARE(QFileInfo::exists(pkexec + u".asked"_s), asked);
        QVERIFY(!QFileInfo::exists(u"pwned"_s));
        // An install reported as done has really put the splitter in place, and left /usr/local as it was.
        if (started && !present) {
            QVERIFY(checkRequiredFiles(linuxRequiredFiles(), root.path()).present);
            QCOMPARE(QFileInfo(usrLocal).permissions(), usrLocalModes);
        }
        QMainWindow *window = interface.mainWindow();
        QCOMPARE(window->isVisible(), started);
        const QPoint offCentre = window->frameGeometry().center() - window->screen()->availableGeometry().center();
        QVERIFY(!started || offCentre.manhattanLength() <= 2);
    }
};

QTEST_MAIN(InstallerTest)
#include "tst_installer.moc"
