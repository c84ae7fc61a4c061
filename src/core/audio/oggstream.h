#pragma once

#include "core/audio/oggpage.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

namespace velvane {

// The modes' block flags (true: long) read from a Vorbis setup header; nothing when they cannot be found.
[[nodiscard]] std::optional<QList<bool>> vorbisModeBlockFlags(QByteArrayView setup);

// Tells packets apart by their first bytes and their size.
[[nodiscard]] quint64 oggPacketKey(QByteArrayView start, qint64 size);

// One audio packet of a file, in the order of the file.
struct OggPacketMark
{
    quint64 key = 0;
    qint64 start = 0; // where its samples begin among those the file plays, before any trim
    int samples = 0;  // what it decodes to before any trim
    int stream = 0;   // the logical stream's number in the file, from 0
    qint64 page = 0;  // where the page it begins on begins
    int segment = 0;  // its first lacing value on that page
};

// The packet a mark stands for, read from the file's bytes; every page it lies on must pass its CRC.
[[nodiscard]] std::optional<QByteArray> oggPacketAt(QByteArrayView data, const OggPacketMark &mark);

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
[[nodiscard]] std::optional<OggVorbisLength> measureOggVorbis(QByteArrayView data,
                                                              QList<OggPacketMark> *marks = nullptr);

// An album measured, with its audio packets marked, so that a piece's packets can be found in it.
struct OggVorbisAlbum
{
    std::optional<OggVorbisLength> length;
    QList<OggPacketMark> packets;
};
[[nodiscard]] OggVorbisAlbum indexOggVorbisFile(const QString &path);

// A piece the splitter wrote must be whole: every page's CRC is checked, and a page that fails it, bytes that belong
// to no page or a torn last page are damage, which it tells instead of the length.
struct OggVorbisPiece
{
    std::optional<OggVorbisLength> length;
    qint64 damagedAt = -1; // the byte where the damage begins
    // A piece of one stream: what the decoder drops at the start of its first packet with samples, and whether it
    // drops any at the start of a later one, which leaves a hole.
    qint64 startTrim = 0;
    bool holes = false;
};
[[nodiscard]] OggVorbisPiece inspectOggVorbisPiece(QByteArrayView data);
[[nodiscard]] OggVorbisPiece inspectOggVorbisFile(const QString &path);

} // namespace velvane
