#include "core/audio/id3size.h"

namespace velvane {

std::optional<qint64> id3v2TagSize(QByteArrayView header)
{
    if (header.size() < id3v2HeaderSize || !header.startsWith("ID3") || quint8(header[3]) == 0xFF)
        return std::nullopt;
    qint64 body = 0;
    for (int i = 6; i < 10; ++i)
        body = body << 7 | (quint8(header[i]) & 0x7F);
    const bool footer = quint8(header[5]) & 0x10;
    return id3v2HeaderSize + body + (footer ? id3v2HeaderSize : 0);
}

qint64 id3v2TagsEnd(QByteArrayView data)
{
    qint64 at = 0;
    while (at < data.size()) {
        const auto size = id3v2TagSize(data.sliced(at));
        if (!size)
            break;
        at += *size;
    }
    return at;
}

void setId3v2BodySize(QByteArray &tag, qint64 bodySize)
{
    for (int i = 0; i < 4; ++i)
        tag[6 + i] = char((bodySize >> (21 - 7 * i)) & 0x7F);
}

} // namespace velvane
