#include "core/platform/filecopy.h"

namespace velvane {

QString copyFileBytes(QFile &from, qint64 offset, QFile &to, qint64 length)
{
    return copyFileBytesThroughMemory(from, offset, to, length);
}

} // namespace velvane
