#include "core/platform/filemoves.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velvane {

namespace {

constexpr int fallbackNameLimit = 255;

// For file systems that know no hard links: the new name is made with O_EXCL, so it too can only ever be new.
int copyToNewFile(const QByteArray &from, const QByteArray &to)
{
    const int in = ::open(from.constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return errno;
    struct stat info;
    const int out = ::fstat(in, &info) == 0
                        ? ::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, info.st_mode & 0777)
                        : -1;
    if (out < 0) {
        const int error = errno;
        ::close(in);
        return error;
    }
    int error = 0;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            error = got < 0 ? errno : 0;
            break;
        }
        for (ssize_t done = 0; done < got && error == 0;) {
            const ssize_t put = ::write(out, buffer + done, size_t(got - done));
            if (put < 0 && errno != EINTR)
                error = errno;
            else if (put > 0)
                done += put;
        }
        if (error != 0)
            break;
    }
    if (error == 0 && ::fsync(out) != 0)
        error = errno;
    if (::close(out) != 0 && error == 0)
        error = errno;
    ::close(in);
    if (error != 0) {
        ::unlink(to.constData()); // made by us a moment ago, never the user's
        return error;
    }
    ::unlink(from.constData());
    return 0;
}

int renameExclusive(const QByteArray &from, const QByteArray &to)
{
#if defined(__APPLE__)
    return ::renamex_np(from.constData(), to.constData(), RENAME_EXCL) == 0 ? 0 : errno;
#elif defined(__linux__)
    return ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0 ? 0 : errno;
#else
    return ENOSYS;
#endif
}

} // namespace

int moveWithoutReplacing(const QString &from, const QString &to)
{
    // A name Qt cannot encode (a NUL in it) would reach the system cut short, naming another file.
    if (from.contains(QChar(u'\0')) || to.contains(QChar(u'\0')))
        return EINVAL;
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);

    const int renamed = renameExclusive(source, target);
    if (renamed != EINVAL && renamed != ENOSYS && renamed != EOPNOTSUPP && renamed != ENOTSUP)
        return renamed;
    // The file system cannot rename without replacing; a hard link fails on a taken name just the same.
    if (::link(source.constData(), target.constData()) == 0) {
        ::unlink(source.constData());
        return 0;
    }
    const int linked = errno;
    if (linked != EPERM && linked != EOPNOTSUPP && linked != ENOTSUP && linked != EMLINK)
        return linked;
    return copyToNewFile(source, target);
}

int fileNameLimit(const QString &folder)
{
    const long limit = ::pathconf(QFile::encodeName(folder).constData(), _PC_NAME_MAX);
    return limit > 0 && limit < 1 << 20 ? int(limit) : fallbackNameLimit;
}

QString errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace velvane
