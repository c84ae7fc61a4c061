#pragma once

#include "core/audio/oggstream.h"

#include <QByteArray>

#include <optional>

namespace velvane {

// A piece of one logical stream found in its album: its audio packets are the album's from firstPacket on.
struct OggPiecePlace
{
    qsizetype firstPacket = 0; // into the album's packets
    qint64 start = 0;          // the album sample the piece's first played sample is, trims left aside
};

// Where the piece's packets stand among the album's, looked for around the album sample expectedStart. Nothing for a
// piece of several streams or packets that are not the album's.
[[nodiscard]] std::optional<OggPiecePlace> placeOggPiece(QByteArrayView piece, const OggVorbisAlbum &album,
                                                         qint64 expectedStart);

// The piece rebuilt to play exactly the album samples [from, to): its headers as they are, then the audio packets from
// the one before `from` to the one that reaches `to`, on pages whose granule positions trim the decoder's output to
// those samples. The packets are the piece's own where it has them, else the album's (albumData), whose pages must
// then pass their CRC. Nothing when the samples are not all in the piece's stream, or fit in one packet.
[[nodiscard]] std::optional<QByteArray> rebuildOggPiece(QByteArrayView piece, QByteArrayView albumData,
                                                        const OggVorbisAlbum &album, const OggPiecePlace &place,
                                                        qint64 from, qint64 to);

} // namespace velvane
