#pragma once

#include <QByteArrayView>
#include <QString>

#include <optional>

namespace velvane {

// Ogg's page checksum, over the page with its own CRC field taken as zero.
[[nodiscard]] quint32 oggPageCrc(QByteArrayView page);

struct OggVorbisLength
{
    qint64 samples = 0;
    int sampleRate = 0;
    int longBlock = 0;
};

// The length as libvorbis plays it: every audio packet's block size from its mode, the granule positions trimming
// the start of each logical stream and its end, chained streams added up. Only the pages the length rests on have
// their CRC checked, unless one of those fails; then every page is, and a damaged one is skipped as decoders skip
// it. Nothing when no Vorbis stream is found.
[[nodiscard]] std::optional<OggVorbisLength> measureOggVorbis(QByteArrayView data);

// A piece the splitter wrote must be whole: every page's CRC is checked, and a page that fails it, bytes that belong
// to no page or a torn last page are damage, which it tells instead of the length.
struct OggVorbisPiece
{
    std::optional<OggVorbisLength> length;
    qint64 damagedAt = -1; // the byte where the damage begins
};
[[nodiscard]] OggVorbisPiece inspectOggVorbisPiece(QByteArrayView data);
[[nodiscard]] OggVorbisPiece inspectOggVorbisFile(const QString &path);

} // namespace velvane
