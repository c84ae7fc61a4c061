#include "installer/installer.h"

#include "core/platform/privileges.h"
#include "core/startup/installplan.h"
#include "core/startup/requiredfiles.h"
#include "core/startup/resourcefolder.h"
#include "core/startup/startuplog.h"

#include <QDir>
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
    // a password for it; say what is missing and how to install the splitter instead.
    const QString localFolder = m_environment.resourceFolder + u"/local"_s;
    if (const std::optional<QString> lack = sourceLack(localFolder)) {
        qCWarning(lcStartup).noquote() << "cannot install:" << *lack;
        (void)m_alert({u"Attention"_s,
                       u"Velvane's own files are incomplete: %1, so the splitter is not installed.\n\nTo install it "
                       u"by hand, install Debian's mp3splt and make the link Velvane runs, as root, then start "
                       u"Velvane again:\n%2"_s.arg(*lack, velvane::splitterFromPackageCommand(localFolder)),
                       {u"Quit"_s}});
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

// What keeps the prepared folder from giving a working splitter, in words for the user; nothing when it is whole.
std::optional<QString> installer::sourceLack(const QString &localFolder) const
{
    if (!QFileInfo(localFolder).isDir())
        return u"the folder %1 is missing"_s.arg(localFolder);
    const velvane::ToolCheck source = velvane::checkInstallSource(m_environment.requiredFiles, localFolder);
    if (source.present)
        return std::nullopt;
    const QString inFolder =
        QDir::cleanPath(localFolder + u'/' + source.missing.mid(QStringLiteral("/usr/local").size()));
    const QFileInfo missing(inFolder);
    if (missing.isSymLink()) {
        return u"%1 links to %2, which is missing (Debian's mp3splt is not installed)"_s.arg(inFolder,
                                                                                             missing.symLinkTarget());
    }
    return u"%1 is missing"_s.arg(inFolder);
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
    // A small screen, or a large scale factor, leaves less room than the window asks for: it shrinks to the room
    // (its content scrolls), so that no part of it, Split least of all, lies off the screen.
    const auto centre = [window] {
        if (const QScreen *screen = window->screen()) {
            const QRect area = screen->availableGeometry();
            const QSize frame = window->frameGeometry().size() - window->size();
            const QSize room = (area.size() - frame).expandedTo(QSize(1, 1));
            window->setMinimumSize(window->minimumSize().boundedTo(room));
            window->resize(window->size().boundedTo(room));
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
