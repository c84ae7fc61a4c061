#pragma once

#include "core/platform/versiongate.h"
#include "dialogs/alert.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <optional>

class QWidget;

namespace velvane {
class PrivilegeLayer;
}

// Where the start-up looks; tests point it at a temporary root and resource folder.
struct StartupEnvironment
{
    QString root; // prefix of the required paths, "/" for the real system
    QStringList requiredFiles;
    QString resourceFolder; // holds "local", the tree copied into /usr/
    std::function<std::optional<velvane::StartupRefusal>()> versionGate;

    [[nodiscard]] static StartupEnvironment system();
};

// The start-up controller: refuses a platform too old to run on, makes sure the splitter is installed
// (installing it with administrator rights when the user agrees), then brings up the main window.
class installer : public QObject
{
    Q_OBJECT
public:
    installer(QWidget *mainWindow, AlertFunction alert, velvane::PrivilegeLayer &privileges,
              StartupEnvironment environment = StartupEnvironment::system(), QObject *parent = nullptr);

    // Runs both gates and shows the main window. False when a gate failed: the application has to end
    // without showing anything more.
    [[nodiscard]] bool awakeFromNib();

    [[nodiscard]] bool neededLibsAreInstalled() const;
    // True only when the user agreed, rights were granted and the copy ran to success.
    [[nodiscard]] bool installNeededLibs();
    void continueWithStart();

private:
    void tellInstallFailed(const QString &what, const QString &localFolder);
    [[nodiscard]] std::optional<QString> sourceLack(const QString &localFolder) const;

    QPointer<QWidget> m_mainWindow;
    AlertFunction m_alert;
    velvane::PrivilegeLayer &m_privileges;
    StartupEnvironment m_environment;
};
