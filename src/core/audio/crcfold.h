#pragma once

#include <QtGlobal>

namespace velvane {

struct FoldedCrc
{
    quint32 crc = 0;     // the state after the bytes taken
    qint64 consumed = 0; // how many: whole 16-byte blocks, or none
};

// The non-reflected CRC-32 of polynomial 0x04C11DB7 (nothing XORed in or out), folded 64 bytes at a time by
// carry-less multiplication where the processor has it. Takes the state before the bytes and leaves the last
// (n mod 16) bytes, and any input under 64 bytes or on a processor without the instructions, to the caller's table.
[[nodiscard]] FoldedCrc foldCrc32(quint32 crc, const uchar *bytes, qint64 n);

} // namespace velvane
