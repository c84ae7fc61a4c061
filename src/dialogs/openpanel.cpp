#include "dialogs/openpanel.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>

void configureFileDialog(QFileDialog &dialog, const PanelRequest &request)
{
    dialog.setWindowTitle(request.title);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (request.chooseDirectories && !request.chooseFiles) {
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly, true);
    } else {
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (!request.types.isEmpty()) {
        QStringList patterns;
        for (const QString &type : request.types)
            patterns << QStringLiteral("*.") + type;
        dialog.setNameFilter(QStringLiteral("%1 (%2)").arg(request.typesName, patterns.join(QLatin1Char(' '))));
        // Sheets written on other systems often end in ".CUE"; without this flag the filter ignores case.
        dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    }
    if (!request.startFolder.isEmpty())
        dialog.setDirectory(request.startFolder);
}

OpenPanelFunction fileDialogPanel(QWidget *parent)
{
    QPointer<QWidget> guardedParent(parent);
    return [guardedParent](const PanelRequest &request) -> std::optional<QString> {
        QFileDialog dialog(guardedParent);
        configureFileDialog(dialog, request);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        const QString target = QFileInfo(dialog.selectedFiles().constFirst()).canonicalFilePath();
        if (target.isEmpty())
            return std::nullopt;
        return target;
    };
}
