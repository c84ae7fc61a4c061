#include "core/platform/privileges.h"
#include "dialogs/alert.h"
#include "dialogs/browser.h"
#include "dialogs/openpanel.h"
#include "import_cue/import_cue.h"
#include "installer/installer.h"
#include "main/fileopenqueue.h"
#include "main/graphicalsession.h"
#include "main/maininterface.h"
#include "main/sessionend.h"

#include <QApplication>
#include <QFileInfo>
#include <QMainWindow>

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    if (const std::optional<QString> problem = missingGraphicalSession(argc, argv)) {
        std::fprintf(stderr, "%s\n", qPrintable(*problem));
        return EXIT_FAILURE;
    }
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Velvane"));
    QApplication::setApplicationName(QStringLiteral("velvane"));

    // A signal that ends the session ends the event loop instead, so the job below is stopped cleanly.
    SessionEnd sessionEnd(&app);

    // Files the system asks us to open may arrive before the window exists; they wait here.
    FileOpenQueue openRequests(&app);

    MainInterface interface;
    import_cue controller(
        interface.mainWindow(), interface.statusSheet(), interface.feedbackSheet(),
        {messageBoxAlert(interface.mainWindow()), fileDialogPanel(interface.mainWindow()), desktopBrowser()});
    controller.awakeFromNib();

    // The start-up alerts come before the main window is on screen, so they have no parent to sit on.
    const std::unique_ptr<velvane::PrivilegeLayer> privileges = velvane::makeSystemPrivilegeLayer();
    installer startup(interface.mainWindow(), messageBoxAlert(), *privileges);
    if (!startup.awakeFromNib())
        return EXIT_FAILURE;

    // QApplication has already taken its own options (-platform and the like) out of the arguments.
    // Relative paths name files in the folder the app was started from, which the sheet's folder is taken from.
    QStringList paths;
    for (const QString &argument : QApplication::arguments().mid(1))
        paths << QFileInfo(argument).absoluteFilePath();
    if (!paths.isEmpty())
        controller.openFiles(paths);
    openRequests.deliverTo([&controller](const QStringList &files) { controller.openFiles(files); });

    // A smoke test of an installed copy: start, report what was read, and end.
    if (qEnvironmentVariableIsSet("VELVANE_SMOKE_TEST")) {
        std::printf("cue: %s\ntracks: %d\n", qPrintable(controller._filePath.value_or(QString())),
                    int(controller._tabData.size()));
        return EXIT_SUCCESS;
    }

    const int result = QApplication::exec();
    controller.shutdown();
    return result;
}
