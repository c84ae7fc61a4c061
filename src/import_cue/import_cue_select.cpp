#include "import_cue/import_cue.h"

#include "MyTextField/mytextfield.h"

#include <QFileInfo>
#include <QSettings>

namespace {

const QString kLastFolderKey = QStringLiteral("lastFolder");

// Where a panel opens: the folder of what its field holds, else the last folder the user chose something in.
QString startFolder(int tag, const QString &fieldText)
{
    const QFileInfo held(fieldText);
    if (!fieldText.isEmpty() && held.isAbsolute()) {
        const QString folder = tag == 3 ? held.absoluteFilePath() : held.absolutePath();
        if (QFileInfo(folder).isDir())
            return folder;
    }
    const QString last = QSettings().value(kLastFolderKey).toString();
    return QFileInfo(last).isDir() ? last : QString();
}

PanelRequest panelFor(int tag, const QString &fieldText)
{
    PanelRequest request;
    request.title = QStringLiteral("Please make your selection!");
    request.chooseFiles = tag != 3;
    request.chooseDirectories = tag == 3;
    if (tag == 1) {
        request.types = {QStringLiteral("cue")};
        request.typesName = QStringLiteral("Cue sheets");
    } else if (tag == 2) {
        request.types = {QStringLiteral("mp3"), QStringLiteral("ogg")};
        request.typesName = QStringLiteral("Audio files");
    }
    request.startFolder = startFolder(tag, fieldText);
    return request;
}

} // namespace

void import_cue::select(const QObject *sender)
{
    const int tag = sender ? sender->property("tag").toInt() : 0;
    if (tag < 1 || tag > 3)
        return;
    MyTextField *field = QList<MyTextField *>{cue_file, mp3_file, home_dir}.at(tag - 1);
    const std::optional<QString> chosen = m_services.openPanel(panelFor(tag, field->text()));
    if (!chosen)
        return;
    const QFileInfo chosenInfo(*chosen);
    QSettings().setValue(kLastFolderKey, tag == 3 ? chosenInfo.absoluteFilePath() : chosenInfo.absolutePath());
    switch (tag) {
    case 1:
        cue_file->setText(*chosen);
        controlTextDidChange(QStringLiteral("newCue"));
        break;
    case 2:
        mp3_file->setText(*chosen);
        takeAudioFromUser(*chosen);
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

void import_cue::audioFileDropped(const QString &path)
{
    takeAudioFromUser(path);
}

// An audio file chosen, dropped or typed by hand is cut whole for every track of the sheet, and its type follows
// its name, so an Ogg file is never cut with MP3 options.
void import_cue::takeAudioFromUser(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("ogg"))
        _isOgg = true;
    else if (suffix == QLatin1String("mp3"))
        _isOgg = false;
    m_audioSource = AudioSource::User;
    showAudioSource();
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
