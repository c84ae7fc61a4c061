#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace velvane {

// CRC-8 of a frame header (polynomial 0x07) and CRC-16 of a whole frame (polynomial 0x8005), both starting from zero.
[[nodiscard]] quint8 flacCrc8(QByteArrayView bytes);
[[nodiscard]] quint16 flacCrc16(QByteArrayView bytes, quint16 crc = 0);

// What a frame header says, with enough of its raw fields to write it again under another number.
struct FlacFrameHeader
{
    bool variableBlockSize = false;
    quint64 number = 0; // frame number (fixed block size) or first sample number (variable)
    int blockSize = 0;
    int channels = 0;
    int length = 0;       // bytes, CRC-8 included
    quint8 codes[2] = {}; // block size and rate codes, channel assignment, sample size and reserved bit
    QByteArray extra;     // the block size and rate that some codes leave to the end of the header
};

// The header a frame at the front of bytes begins with: sync code, valid codes, a well-formed number and its CRC-8.
[[nodiscard]] std::optional<FlacFrameHeader> parseFlacFrameHeader(QByteArrayView bytes);

// The header under another number and block-size strategy, its CRC-8 made anew.
[[nodiscard]] QByteArray writeFlacFrameHeader(const FlacFrameHeader &header, bool variableBlockSize, quint64 number);

// The frame's CRC-16 once its header of oldHeaderLength bytes is replaced by newHeader, found without reading the
// frame's body again: the CRC is linear, so only the headers' difference, carried past the body, changes it.
[[nodiscard]] quint16 flacCrc16WithHeader(QByteArrayView frame, int oldHeaderLength, QByteArrayView newHeader);

} // namespace velvane
