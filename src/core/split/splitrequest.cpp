#include "core/split/splitrequest.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace velvane {

namespace {

bool isReadableAtPath(const QString &path)
{
    const QFileInfo info(path);
    return !path.isEmpty() && info.exists() && info.isReadable();
}

} // namespace

QString cueFileNotFoundMessage()
{
    return u"Cue-file not found!\nPlease select one!"_s;
}

std::optional<QString> splitRequestProblem(const QString &cuePath, const QString &audioFile, const QString &destination)
{
    if (!isReadableAtPath(cuePath))
        return cueFileNotFoundMessage();
    if (!isReadableAtPath(audioFile))
        return u"Audio-file not found!\nPlease select one!"_s;
    // A plain file there would pass a presence check and then fail every track with "Not a directory".
    if (destination.isEmpty() || !QFileInfo(destination).isDir())
        return u"Destination directory not found!\nPlease select one!"_s;
    return std::nullopt;
}

} // namespace velvane
