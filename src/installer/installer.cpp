#include "installer/installer.h"

#include "core/startup/installplan.h"
#include "core/startup/privileges.h"
#include "core/startup/requiredfiles.h"
#include "core/startup/resourcefolder.h"
#include "core/startup/startuplog.h"

#include <QFileInfo>
#include <QScreen>
#include <QStyle>
#include <QWidget>

using namespace Qt::StringLiterals;

StartupEnvironment StartupEnvironment::system()
{
    // VELVANE_TOOL_ROOT lets a smoke test of an installed copy check a prepared folder instead of the system.
    return {qEnvironmentVariable("VELVANE_TOOL_ROOT", u"/"_s), velvane::requiredFiles(), velvane::resourceFolder(),
            &velvane::currentVersionRefusal};
}

installer::installer(QWidget *mainWindow, AlertFunction alert, velvane::PrivilegeLayer &privileges,
                     StartupEnvironment environment, QObject *parent)
    : QObject(parent)
    , m_mainWindow(mainWindow)
    , m_alert(std::move(alert))
    , m_privileges(privileges)
    , m_environment(std::move(environment))
{}

bool installer::awakeFromNib()
{
    if (m_environment.versionGate) {
        if (const auto refusal = m_environment.versionGate()) {
            (void)m_alert({refusal->title, refusal->message, refusal->buttons});
            return false;
        }
    }
    // A successful install is trusted without a second check: the copy's own status already said so.
    if (!neededLibsAreInstalled() && !installNeededLibs())
        return false;
    continueWithStart();
    return true;
}

bool installer::neededLibsAreInstalled() const
{
    const velvane::ToolCheck check = velvane::checkRequiredFiles(m_environment.requiredFiles, m_environment.root);
    if (!check.present)
        qCInfo(lcStartup) << "missing" << check.missing;
    return check.present;
}

bool installer::installNeededLibs()
{
    const int answer = m_alert({u"Attention"_s,
                                u"Velvane has detected that some needed libraries (libvorbis, libmad and libogg) "
                                u"are not installed on this System."_s,
                                {u"Intall"_s, u"Quit"_s}});
    if (answer != 0)
        return false;

    // Copying a source that is missing or incomplete would still leave the splitter missing, so don't ask for
    // a password for it.
    const QString localFolder = m_environment.resourceFolder + u"/local"_s;
    if (!QFileInfo(localFolder).isDir()) {
        qCWarning(lcStartup) << "cannot install: no folder" << localFolder;
        return false;
    }
    const velvane::ToolCheck source = velvane::checkInstallSource(m_environment.requiredFiles, localFolder);
    if (!source.present) {
        qCWarning(lcStartup) << "cannot install:" << localFolder << "does not provide" << source.missing;
        return false;
    }

    const QList<velvane::PrivilegedCommand> commands = velvane::installCommands(localFolder);
    const velvane::PrivilegedRun run = m_privileges.runAsAdministrator(commands);
    switch (run.authorisation) {
    case velvane::Authorisation::Granted:
        break;
    case velvane::Authorisation::Refused:
        // The user dismissed the prompt, as good as choosing Quit.
        return false;
    case velvane::Authorisation::NotAuthorised:
        tellInstallFailed(u"Administrator rights were not granted"_s, localFolder);
        return false;
    case velvane::Authorisation::Unavailable:
        tellInstallFailed(u"Velvane could not ask for administrator rights"_s, localFolder);
        return false;
    }
    // The mkdir results don't matter: when they fail, so does the copy.
    const bool copied = run.outcomes.size() == commands.size() && run.outcomes.constLast().succeeded();
    if (!copied) {
        qCWarning(lcStartup) << "copying" << localFolder << "into /usr/ failed";
        tellInstallFailed(u"Copying the splitter into /usr/local failed"_s, localFolder);
    }
    return copied;
}

// Without this the application would just vanish, leaving the user no way to learn what to do instead.
void installer::tellInstallFailed(const QString &what, const QString &localFolder)
{
    qCWarning(lcStartup).noquote() << what;
    (void)m_alert({u"Attention"_s,
                   what +
                       u", so the splitter is not installed.\n\nTo install it by hand, run this as root, then "
                       u"start Velvane again:\n"_s +
                       velvane::manualInstallCommand(localFolder),
                   {u"Quit"_s}});
}

void installer::continueWithStart()
{
    if (!m_mainWindow)
        return;
    QWidget *window = m_mainWindow;
    const auto centre = [window] {
        if (const QScreen *screen = window->screen()) {
            const QRect area = screen->availableGeometry();
            window->move(
                QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, window->frameGeometry().size(), area).topLeft());
        }
    };
    // The frame is only known once the window is on screen, so place it as well as we can before showing it
    // (no visible jump in the common case) and once more with the real frame.
    window->ensurePolished();
    if (!window->testAttribute(Qt::WA_Resized))
        window->adjustSize();
    centre();
    window->show();
    centre();
    window->raise();
}
