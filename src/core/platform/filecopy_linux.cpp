#include "core/platform/filecopy.h"

#include <cerrno>
#include <sys/types.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace velvane {

namespace {

QString copyThroughMemory(QFile &from, qint64 offset, QFile &to, qint64 length)
{
    if (!from.seek(offset))
        return from.errorString();
    QByteArray buffer(qsizetype(std::min<qint64>(length, 4 << 20)), Qt::Uninitialized);
    while (length > 0) {
        const qint64 got = from.read(buffer.data(), std::min<qint64>(length, buffer.size()));
        if (got <= 0)
            return got < 0 ? from.errorString() : u"The file ended early."_s;
        if (to.write(buffer.constData(), got) != got)
            return to.errorString();
        length -= got;
    }
    return {};
}

} // namespace

QString copyFileBytes(QFile &from, qint64 offset, QFile &to, qint64 length)
{
    // QFile buffers writes; what it holds must reach the file before the kernel appends behind it.
    if (!to.flush())
        return to.errorString();
    loff_t in = offset;
    loff_t out = to.pos();
    while (length > 0) {
        const ssize_t copied = ::copy_file_range(from.handle(), &in, to.handle(), &out, size_t(length), 0);
        if (copied < 0) {
            // Across file systems on older kernels, or where the call is missing: the plain way still works.
            if (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL) {
                if (!to.seek(out))
                    return to.errorString();
                return copyThroughMemory(from, in, to, length);
            }
            return qt_error_string(errno);
        }
        if (copied == 0)
            return u"The file ended early."_s;
        length -= copied;
    }
    if (!to.seek(out))
        return to.errorString();
    return {};
}

} // namespace velvane
