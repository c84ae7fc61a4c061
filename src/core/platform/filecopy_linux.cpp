#include "core/platform/filecopy.h"

#include <cerrno>
#include <sys/types.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace velvane {

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
                return copyFileBytesThroughMemory(from, in, to, length);
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
