#include "core/split/splitrequest.h"

#include "core/audio/audioformat.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace velvane {

namespace {

bool isReadableAtPath(const QString &path)
{
    const QFileInfo info(path);
    return !path.isEmpty() && info.exists() && info.isReadable();
}

// The job makes its work folder in the destination first. Permission bits alone do not tell: root passes them on a
// read-only mount, so the folder is made and removed again, as the job would.
bool takesNewFolders(const QString &destination)
{
    QTemporaryDir probe(QDir(destination).filePath(u".velvane-check-XXXXXX"_s));
    return probe.isValid();
}

} // namespace

QString cueFileNotFoundMessage()
{
    return u"Cue-file not found!\nPlease select one!"_s;
}

QString audioFileNotFoundMessage()
{
    return u"Audio-file not found!\nPlease select one!"_s;
}

std::optional<QString> splitRequestProblem(const QString &cuePath, const QString &audioFile, const QString &destination)
{
    if (!isReadableAtPath(cuePath))
        return cueFileNotFoundMessage();
    if (!isReadableAtPath(audioFile))
        return audioFileNotFoundMessage();
    // A plain file there would pass a presence check and then fail every track with "Not a directory".
    if (destination.isEmpty() || !QFileInfo(destination).isDir())
        return u"Destination directory not found!\nPlease select one!"_s;
    // Otherwise every track would fail on its own, each with the same reason.
    if (!takesNewFolders(destination))
        return u"Destination directory is not writable!\nPlease select another one!"_s;
    return std::nullopt;
}

std::optional<QString> sheetFieldProblem(const std::optional<QString> &readPath, const QString &fieldText)
{
    if (!readPath || fieldText == *readPath)
        return std::nullopt;
    if (fieldText.isEmpty())
        return u"The cue sheet field is empty, so there is no sheet to split.\nPlease select one!"_s;
    return u"The cue sheet field names a sheet that has not been read:\n%1\nPress Enter in the field to read it, or "
           u"choose it again."_s.arg(QDir::toNativeSeparators(fieldText));
}

std::optional<QString> refusedFormatProblem(const QStringList &files)
{
    for (const QString &file : files) {
        if (const std::optional<QString> format = refusedFormatOfName(file))
            return refusedFormatMessage(file, *format);
    }
    return std::nullopt;
}

QString firstReadableAudioFile(const QStringList &files)
{
    const auto readable = std::find_if(files.cbegin(), files.cend(), [](const QString &file) {
        const QFileInfo info(file);
        return info.isFile() && info.isReadable();
    });
    return readable != files.cend() ? *readable : files.value(0);
}

} // namespace velvane
