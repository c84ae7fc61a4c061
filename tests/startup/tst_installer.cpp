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

} // namespace

class InstallerTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<QTemporaryDir> m_resources;
    std::unique_ptr<MainInterface> m_interface;
    FakePrivileges m_privileges;
    QList<Alert> m_alerts;
    int m_answer = 0;
    std::optional<velvane::StartupRefusal> m_refusal;

    QString localFolder() const { return m_resources->path() + u"/local"_s; }

    installer makeInstaller()
    {
        const auto alert = [this](const Alert &shown) {
            m_alerts.append(shown);
            return m_answer;
        };
        return installer(m_interface->mainWindow(), alert, m_privileges,
                         {m_root->path(), velvane::linuxRequiredFiles(), m_resources->path(), [this] {
                              return m_refusal;
                          }});
    }

private slots:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        m_resources = std::make_unique<QTemporaryDir>();
        m_interface = std::make_unique<MainInterface>();
        m_privileges = {};
        m_alerts.clear();
        m_answer = 0;
        m_refusal.reset();
    }

    void toolsPresentShowsTheWindowCentred()
    {
        QVERIFY(QDir().mkpath(m_root->path() + u"/usr/local/bin/mp3splt"_s));
        installer startup = makeInstaller();
        QVERIFY(startup.awakeFromNib());

        QVERIFY(m_alerts.isEmpty());
        QCOMPARE(m_privileges.requests, 0);
        QMainWindow *window = m_interface->mainWindow();
        QVERIFY(window->isVisible());
        const QRect area = window->screen()->availableGeometry();
        QVERIFY((window->frameGeometry().center() - area.center()).manhattanLength() <= 2);
    }

    void install_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("source"); // what local/bin/mp3splt is
        QTest::addColumn<Authorisation>("authorisation");
        QTest::addColumn<int>("copyExitCode");
        QTest::addColumn<bool>("asksForRights");
        QTest::addColumn<bool>("started");
        QTest::newRow("granted") << 0 << u"link"_s << Authorisation::Granted << 0 << true << true;
        QTest::newRow("user quits") << 1 << u"link"_s << Authorisation::Granted << 0 << false << false;
        QTest::newRow("password dismissed") << 0 << u"link"_s << Authorisation::Refused << 0 << true << false;
        QTest::newRow("not authorised") << 0 << u"link"_s << Authorisation::NotAuthorised << 0 << true << false;
        QTest::newRow("copy fails") << 0 << u"link"_s << Authorisation::Granted << 1 << true << false;
        QTest::newRow("no resource folder") << 0 << u"none"_s << Authorisation::Granted << 0 << false << false;
        QTest::newRow("dangling source") << 0 << u"dangling"_s << Authorisation::Granted << 0 << false << false;
    }
    void install()
    {
        QFETCH(int, answer);
        QFETCH(QString, source);
        QFETCH(Authorisation, authorisation);
        QFETCH(int, copyExitCode);
        QFETCH(bool, asksForRights);
        QFETCH(bool, started);
        if (source != "none"_L1) {
            QVERIFY(QDir().mkpath(localFolder() + u"/bin"_s));
            const QString target = source == "link"_L1 ? u"/bin/sh"_s : m_resources->path() + u"/gone"_s;
            QVERIFY(QFile::link(target, localFolder() + u"/bin/mp3splt"_s));
        }
        m_answer = answer;
        m_privileges.authorisation = authorisation;
        m_privileges.copyExitCode = copyExitCode;

        installer startup = makeInstaller();
        QCOMPARE(startup.awakeFromNib(), started);

        QCOMPARE(m_alerts.size(), 1);
        QCOMPARE(m_alerts.first().title, u"Attention"_s);
        QCOMPARE(m_alerts.first().buttons, (QStringList{u"Intall"_s, u"Quit"_s}));
        QCOMPARE(m_privileges.requests, asksForRights ? 1 : 0);
        if (asksForRights && authorisation == Authorisation::Granted) {
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

    void oldPlatformEndsBeforeTheToolCheck()
    {
        m_refusal = velvane::StartupRefusal{u"Attention:"_s, u"too old"_s, {u"Quit"_s}};
        installer startup = makeInstaller();
        QVERIFY(!startup.awakeFromNib());

        // The tools are missing here too, yet the install is never offered.
        QCOMPARE(m_alerts.size(), 1);
        QCOMPARE(m_alerts.first().message, u"too old"_s);
        QCOMPARE(m_privileges.requests, 0);
        QVERIFY(!m_interface->mainWindow()->isVisible());
    }
};

QTEST_MAIN(InstallerTest)
#include "tst_installer.moc"
