#include "core/platform/filestamp.h"

#include <QFile>

#include <sys/stat.h>

namespace velvane {

std::optional<FileStamp> stampOf(const QString &path)
{
    struct stat status;
    if (path.contains(QChar(u'\0')) || ::lstat(QFile::encodeName(path).constData(), &status) != 0 ||
        !S_ISREG(status.st_mode))
        return std::nullopt;
#ifdef __APPLE__
    const struct timespec modified = status.st_mtimespec;
#else
    const struct timespec modified = status.st_mtim;
#endif
    return FileStamp{quint64(status.st_dev), quint64(status.st_ino), qint64(status.st_size),
                     qint64(modified.tv_sec) * 1000000000 + modified.tv_nsec};
}

} // namespace velvane
