#include "core/platform/filestamp.h"

#include <QDateTime>
#include <QFileInfo>

namespace velvane {

std::optional<FileStamp> stampOf(const QString &path)
{
    const QFileInfo info(path);
    if (info.isSymLink() || !info.isFile())
        return std::nullopt;
    const QDateTime modified = info.fileTime(QFileDevice::FileModificationTime);
    return FileStamp{0, 0, info.size(), modified.toMSecsSinceEpoch() * 1000000};
}

} // namespace velvane
