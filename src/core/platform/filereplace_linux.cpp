#include "core/platform/filereplace.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velvane {

FileReplacement replaceFile(const QString &replacement, const QString &target, const FileStamp &expected)
{
    const QByteArray from = QFile::encodeName(replacement);
    const QByteArray to = QFile::encodeName(target);
    if (stampOf(target) != expected)
        return {false, true, false, {}};
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_EXCHANGE) != 0) {
        const int code = errno;
        if (code != EINVAL && code != ENOSYS && code != EOPNOTSUPP)
            return {false, false, false, qt_error_string(code)};
        // Without an exchange a file put under target's name between the check and the rename would be lost, but
        // such file systems leave no other way that keeps the name.
        if (::rename(from.constData(), to.constData()) != 0)
            return {false, false, false, qt_error_string(errno)};
        return {true, false, false, {}};
    }
    // The exchange put whatever stood under target's name under replacement's: it must be the file examined.
    if (stampOf(replacement) == expected)
        return {true, false, false, {}};
    const bool givenBack = ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_EXCHANGE) == 0;
    return {false, true, !givenBack, {}};
}

bool adoptAccess(const QString &replacement, const QString &target)
{
    struct stat status;
    const QByteArray name = QFile::encodeName(replacement);
    return ::stat(QFile::encodeName(target).constData(), &status) == 0 &&
           ::chmod(name.constData(), status.st_mode & 07777) == 0 &&
           (::geteuid() != 0 || ::chown(name.constData(), status.st_uid, status.st_gid) == 0);
}

} // namespace velvane
