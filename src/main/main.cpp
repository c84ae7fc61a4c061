#include "dialogs/alert.h"
#include "dialogs/browser.h"
#include "dialogs/openpanel.h"
#include "import_cue/import_cue.h"
#include "main/maininterface.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Velvane"));
    QApplication::setApplicationName(QStringLiteral("velvane"));

    MainInterface interface;
    import_cue controller(interface.mainWindow(), interface.statusSheet(), interface.feedbackSheet(),
                          {messageBoxAlert(interface.mainWindow()), fileDialogPanel(interface.mainWindow()),
                           desktopBrowser()});
    controller.awakeFromNib();
    interface.mainWindow()->show();

    // QApplication has already taken its own options (-platform and the like) out of the arguments.
    const QStringList paths = QApplication::arguments().mid(1);
    if (!paths.isEmpty())
        controller.openFiles(paths);

    const int result = QApplication::exec();
    controller.shutdown();
    return result;
}
