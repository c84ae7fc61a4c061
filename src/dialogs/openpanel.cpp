#include "dialogs/openpanel.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>

namespace {

// Extensions match in any letter case: "mp3" also accepts "*.MP3" and "*.Mp3".
QString caseInsensitivePattern(const QString &type)
{
    QString pattern = QStringLiteral("*.");
    for (const QChar c : type) {
        if (c.isLetter())
            pattern += QLatin1Char('[') + c.toLower() + c.toUpper() + QLatin1Char(']');
        else
            pattern += c;
    }
    return pattern;
}

} // namespace

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
            patterns << caseInsensitivePattern(type);
        dialog.setNameFilter(QFileDialog::tr("Files (%1)").arg(patterns.join(QLatin1Char(' '))));
    }
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
