#include "core/startup/installplan.h"
#include "core/startup/privileges.h"
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
using velvane::Authorisation;
using velvane::CommandOutcome;
using velvane::PrivilegedCommand;

namespace {

// Stands in for the password prompt: answers with a scripted verdict and records what it would have run.
class FakePrivileges : public velvane::PrivilegeLayer
{
public:
    velvane::PrivilegedRun runAsAdministrator(const QList<PrivilegedCommand> &commands) override
    {
        ++requests;
        if (authorisation != Authorisation::Granted)
            return {authorisation, {}};
        velvane::PrivilegedRun run{Authorisation::Granted, {}};
        for (const PrivilegedCommand &command : commands) {
            ran.append(command);
            run.outcomes.append({true, command.program == "/bin/cp"_L1 ? copyExitCode : 0});
        }
        return run;
    }

    Authorisation authorisation = Authorisation::Granted;
    int copyExitCode = 0;
    int requests = 0;
    QList<PrivilegedCommand> ran;
};

struct AlertRecorder
{
    QList<Alert> shown;
    int answer = 0;

    AlertFunction function()
    {
        return [this](const Alert &alert) {
            shown.append(alert);
            return answer;
        };
    }
};

bool makeFile(const QString &path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly);
}

} // namespace

class InstallerTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<QTemporaryDir> m_resources;
    std::unique_ptr<MainInterface> m_interface;
    FakePrivileges m_privileges;
    AlertRecorder m_alerts;
    std::optional<velvane::StartupRefusal> m_refusal;

    QString localFolder() const { return m_resources->path() + u"/local"_s; }

    // A resource folder like the build's: local/bin/mp3splt linking to a real program.
    void provideInstallSource()
    {
        QVERIFY(QDir().mkpath(localFolder() + u"/bin"_s));
        QVERIFY(QFile::link(u"/bin/sh"_s, localFolder() + u"/bin/mp3splt"_s));
    }

    installer makeInstaller()
    {
        StartupEnvironment environment{m_root->path(), velvane::linuxRequiredFiles(), m_resources->path(), [this] {
                                           return m_refusal;
                                       }};
        return installer(m_interface->mainWindow(), m_alerts.function(), m_privileges, environment);
    }

private slots:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        m_resources = std::make_unique<QTemporaryDir>();
        m_interface = std::make_unique<MainInterface>();
        m_privileges = {};
        m_alerts = {};
        m_refusal.reset();
    }

    void toolsPresentShowsTheWindowCentred()
    {
        QVERIFY(makeFile(m_root->path() + u"/usr/local/bin/mp3splt"_s));
        installer startup = makeInstaller();
        QVERIFY(startup.awakeFromNib());

        QVERIFY(m_alerts.shown.isEmpty());
        QCOMPARE(m_privileges.requests, 0);
        QMainWindow *window = m_interface->mainWindow();
        QVERIFY(window->isVisible());
        const QRect area = window->screen()->availableGeometry();
        QVERIFY(area.contains(window->frameGeometry()));
        QVERIFY((window->frameGeometry().center() - area.center()).manhattanLength() <= 2);
    }

    void install_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("source");
        QTest::addColumn<Authorisation>("authorisation");
        QTest::addColumn<int>("copyExitCode");
        QTest::addColumn<int>("requests");
        QTest::addColumn<bool>("started");
        QTest::newRow("granted") << 0 << true << Authorisation::Granted << 0 << 1 << true;
        QTest::newRow("user quits") << 1 << true << Authorisation::Granted << 0 << 0 << false;
        QTest::newRow("password dismissed") << 0 << true << Authorisation::Refused << 0 << 1 << false;
        QTest::newRow("not authorised") << 0 << true << Authorisation::NotAuthorised << 0 << 1 << false;
        QTest::newRow("no way to become root") << 0 << true << Authorisation::Unavailable << 0 << 1 << false;
        QTest::newRow("copy fails") << 0 << true << Authorisation::Granted << 1 << 1 << false;
        QTest::newRow("no resource folder") << 0 << false << Authorisation::Granted << 0 << 0 << false;
    }
    void install()
    {
        QFETCH(int, answer);
        QFETCH(bool, source);
        QFETCH(Authorisation, authorisation);
        QFETCH(int, copyExitCode);
        QFETCH(int, requests);
        QFETCH(bool, started);
        if (source)
            provideInstallSource();
        m_alerts.answer = answer;
        m_privileges.authorisation = authorisation;
        m_privileges.copyExitCode = copyExitCode;

        installer startup = makeInstaller();
        QCOMPARE(startup.awakeFromNib(), started);

        QCOMPARE(m_alerts.shown.size(), 1);
        const Alert &alert = m_alerts.shown.first();
        QCOMPARE(alert.title, u"Attention"_s);
        QCOMPARE(alert.message, u"Velvane has detected that some needed libraries (libvorbis, libmad and libogg) "
                                u"are not installed on this System."_s);
        QCOMPARE(alert.buttons, (QStringList{u"Intall"_s, u"Quit"_s}));
        QCOMPARE(m_privileges.requests, requests);
        if (authorisation == Authorisation::Granted && requests > 0) {
            const QList<PrivilegedCommand> expected{
                {u"/bin/mkdir"_s, {u"-p"_s, u"/usr"_s}},
                {u"/bin/mkdir"_s, {u"-p"_s, u"/usr/local"_s}},
                {u"/bin/cp"_s, {u"-f"_s, u"-p"_s, u"-R"_s, localFolder(), u"/usr/"_s}},
            };
            QCOMPARE(m_privileges.ran, expected);
        } else {
            QVERIFY(m_privileges.ran.isEmpty());
        }
        QCOMPARE(m_interface->mainWindow()->isVisible(), started);
    }

    void danglingSourceIsNotCopied()
    {
        QVERIFY(QDir().mkpath(localFolder() + u"/bin"_s));
        QVERIFY(QFile::link(m_resources->path() + u"/gone"_s, localFolder() + u"/bin/mp3splt"_s));
        installer startup = makeInstaller();
        QVERIFY(!startup.awakeFromNib());
        QCOMPARE(m_privileges.requests, 0);
    }

    void oldPlatformEndsBeforeTheToolCheck()
    {
        m_refusal = velvane::StartupRefusal{u"Attention:"_s, u"too old"_s, {u"Quit"_s}};
        installer startup = makeInstaller();
        QVERIFY(!startup.awakeFromNib());

        // Tools are missing here, yet the install is never offered.
        QCOMPARE(m_alerts.shown.size(), 1);
        QCOMPARE(m_alerts.shown.first().title, u"Attention:"_s);
        QCOMPARE(m_alerts.shown.first().message, u"too old"_s);
        QCOMPARE(m_alerts.shown.first().buttons, QStringList{u"Quit"_s});
        QCOMPARE(m_privileges.requests, 0);
        QVERIFY(!m_interface->mainWindow()->isVisible());
    }
};

QTEST_MAIN(InstallerTest)
#include "tst_installer.moc"
