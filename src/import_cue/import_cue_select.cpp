#include "import_cue/import_cue.h"

#include "MyTextField/mytextfield.h"

#include <QFileInfo>

namespace {

PanelRequest panelFor(int tag)
{
    PanelRequest request;
    request.title = QStringLiteral("Please make your selection!");
    request.chooseFiles = tag != 3;
    request.chooseDirectories = tag == 3;
    if (tag == 1)
        request.types = {QStringLiteral("cue")};
    else if (tag == 2)
        request.types = {QStringLiteral("mp3"), QStringLiteral("ogg")};
    return request;
}

} // namespace

void import_cue::select(const QObject *sender)
{
    const int tag = sender ? sender->property("tag").toInt() : 0;
    if (tag < 1 || tag > 3)
        return;
    const std::optional<QString> chosen = m_services.openPanel(panelFor(tag));
    if (!chosen)
        return;
    switch (tag) {
    case 1:
        cue_file->setText(*chosen);
        controlTextDidChange(QStringLiteral("newCue"));
        break;
    case 2:
        mp3_file->setText(*chosen);
        audioFileDropped(*chosen);
        break;
    case 3:
        home_dir->setText(*chosen);
        break;
    }
}

void import_cue::controlTextDidChange(const QString &object)
{
    if (object != QLatin1String("newCue"))
        return;
    if (isSplitting()) {
        m_pendingCue = cue_file->text();
        return;
    }
    readCueFile();
}

// The audio type follows a file chosen by hand, so an Ogg file is never cut with MP3 options.
void import_cue::audioFileDropped(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("ogg"))
        _isOgg = true;
    else if (suffix == QLatin1String("mp3"))
        _isOgg = false;
}

void import_cue::openFiles(const QStringList &paths)
{
    if (paths.isEmpty())
        return;
    if (isSplitting()) {
        m_pendingCue = paths.constFirst();
        return;
    }
    cue_file->setText(paths.constFirst());
    readCueFile();
}
