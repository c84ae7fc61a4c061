#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace velvane {

inline constexpr qint64 id3v2HeaderSize = 10;

// The whole size of the ID3v2 tag whose header the bytes begin with: header, body and a footer when it has one.
// Nothing when they begin no ID3v2 tag.
[[nodiscard]] std::optional<qint64> id3v2TagSize(QByteArrayView header);

// Where the audio starts: after every ID3v2 tag at the very front.
[[nodiscard]] qint64 id3v2TagsEnd(QByteArrayView data);

// Writes the size of a tag's body (all that follows its header) into the header, seven bits a byte.
void setId3v2BodySize(QByteArray &tag, qint64 bodySize);

} // namespace velvane
