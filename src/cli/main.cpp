#include "cli/commands.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Velvane"));
    QCoreApplication::setApplicationName(QStringLiteral("velvane-split"));

    const QStringList args = QCoreApplication::arguments().mid(1);
    if (!args.isEmpty() && args.constFirst() == QLatin1String("--tracks"))
        return runTracksCommand(args.mid(1));
    return runSplitCommand(args);
}
