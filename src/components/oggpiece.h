#pragma once

#include "components/oggstream.h"

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

// The piece rebuilt from its own pages: its headers as they are, then of its audio packets those from the one
// before album sample from to the one that reaches sample to, on pages whose granule positions make a decoder play
// exactly the samples [from, to). Nothing when the piece lacks the packets for them, or they fit in one packet.
[[nodiscard]] std::optional<QByteArray> rebuildOggPiece(QByteArrayView piece, const OggVorbisAlbum &album,
                                                        const OggPiecePlace &place, qint64 from, qint64 to);

} // namespace velvane
