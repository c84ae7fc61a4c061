#include "core/platform/filecopy.h"

using namespace Qt::StringLiterals;

namespace velvane {

QString copyFileBytesThroughMemory(QFile &from, qint64 offset, QFile &to, qint64 length)
{
    if (!from.seek(offset))
        return from.errorString();
    QByteArray buffer(qsizetype(std::min<qint64>(length, 4 << 20)), Qt::Uninitialized);
    while (length > 0) {
        const qint64 got = from.read(buffer.data(), std::min<qint64>(length, buffer.size()));
        if (got <= 0)
            return got < 0 ? from.errorString() : u"The file ended early."_s;
        if (const QString why = writeAll(to, QByteArrayView(buffer.constData(), got)); !why.isEmpty())
            return why;
        length -= got;
    }
    return {};
}

} // namespace velvane
