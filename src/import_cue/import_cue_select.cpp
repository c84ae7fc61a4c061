#include "import_cue/import_cue.h"

#include "core/audio/audioformat.h"
#include "MyTextField/mytextfield.h"

#include <QFileInfo>
#include <QSettings>

namespace {

const QString kLastFolderKey = QStringLiteral("lastFolder");

// Where a panel opens: the folder of what its field holds, else the last folder the user chose something in.
QString startFolder(PathKind kind, const QString &fieldText)
{
    const QFileInfo held(fieldText);
    if (!fieldText.isEmpty() && held.isAbsolute()) {
        const QString folder = kind == PathKind::Destination ? held.absoluteFilePath() : held.absolutePath();
        if (QFileInfo(folder).isDir())
            return folder;
    }
    const QString last = QSettings().value(kLastFolderKey).toString();
    return QFileInfo(last).isDir() ? last : QString();
}

PanelRequest panelFor(PathKind kind, const QString &fieldText)
{
    PanelRequest request;
    request.title = QStringLiteral("Please make your selection!");
    request.chooseFiles = kind != PathKind::Destination;
    request.chooseDirectories = kind == PathKind::Destination;
    if (kind == PathKind::CueSheet) {
        // A FLAC image may carry its sheet inside.
        request.types = {QStringLiteral("cue"), QStringLiteral("flac")};
        request.typesName = QStringLiteral("Cue sheets and FLAC images");
    } else if (kind == PathKind::AudioFile) {
        request.types = {QStringLiteral("mp3"), QStringLiteral("ogg"), QStringLiteral("flac"), QStringLiteral("wav")};
        request.typesName = QStringLiteral("Audio files");
    }
    request.startFolder = startFolder(kind, fieldText);
    return request;
}

} // namespace

void import_cue::select(const QObject *sender)
{
    const PathKind kind = pathKindOfTag(sender ? sender->property("tag").toInt() : 0);
    MyTextField *field = nullptr;
    switch (kind) {
    case PathKind::CueSheet:
        field = cue_file;
        break;
    case PathKind::AudioFile:
        field = mp3_file;
        break;
    case PathKind::Destination:
        field = home_dir;
        break;
    case PathKind::None:
        return;
    }
    const std::optional<QString> chosen = m_services.openPanel(panelFor(kind, field->text()));
    if (!chosen)
        return;
    const QFileInfo chosenInfo(*chosen);
    QSettings().setValue(kLastFolderKey,
                         kind == PathKind::Destination ? chosenInfo.absoluteFilePath() : chosenInfo.absolutePath());
    field->setText(*chosen);
    if (kind == PathKind::CueSheet)
        controlTextDidChange(QStringLiteral("newCue"));
    else if (kind == PathKind::AudioFile)
        takeAudioFromUser(*chosen);
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
// its name, so an Ogg file is never cut with MP3 options, nor a FLAC file by the splitter.
void import_cue::takeAudioFromUser(const QString &path)
{
    if (const std::optional<velvane::AudioFormat> format = velvane::audioFormatOfName(path))
        _audioFormat = *format;
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
