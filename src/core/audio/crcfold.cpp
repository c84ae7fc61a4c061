#include "core/audio/crcfold.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define VELVANE_CRC_FOLDING 1
#endif

namespace velvane {

#ifdef VELVANE_CRC_FOLDING

namespace {

constexpr quint32 polynomial = 0x04C11DB7u;

// x^n modulo the polynomial.
constexpr quint64 xPower(int n)
{
    quint32 r = 1;
    for (int i = 0; i < n; ++i)
        r = (r & 0x80000000u) ? (r << 1) ^ polynomial : r << 1;
    return r;
}

// The bytes as one polynomial, the first byte's top bit the highest power.
__attribute__((target("ssse3"))) __m128i loadBlock(const uchar *p)
{
    const __m128i reversed = _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p)), reversed);
}

// A block moved on by as many bits as the constants stand for: its high half times x^(d+64), its low half times x^d,
// both reduced, which leaves at most 96 bits with the same remainder.
__attribute__((target("pclmul"))) __m128i fold(__m128i block, __m128i constants)
{
    return _mm_xor_si128(_mm_clmulepi64_si128(block, constants, 0x11), _mm_clmulepi64_si128(block, constants, 0x00));
}

// The state after a 16-byte message starting from zero: its polynomial times x^32, reduced, bit by bit.
quint32 remainderOf(__m128i block)
{
    alignas(16) quint64 halves[2];
    _mm_store_si128(reinterpret_cast<__m128i *>(halves), block);
    quint32 crc = 0;
    for (int half = 1; half >= 0; --half) {
        for (int bit = 63; bit >= 0; --bit) {
            const bool top = ((crc >> 31) ^ (halves[half] >> bit)) & 1;
            crc = top ? (crc << 1) ^ polynomial : crc << 1;
        }
    }
    return crc;
}

__attribute__((target("pclmul,ssse3"))) FoldedCrc foldWithCarrylessMultiply(quint32 crc, const uchar *p, qint64 n)
{
    static constexpr quint64 byFourHigh = xPower(512 + 64), byFourLow = xPower(512);
    static constexpr quint64 byOneHigh = xPower(128 + 64), byOneLow = xPower(128);
    const __m128i byFour = _mm_set_epi64x(qint64(byFourHigh), qint64(byFourLow));
    const __m128i byOne = _mm_set_epi64x(qint64(byOneHigh), qint64(byOneLow));
    // The state so far joins the first four bytes: the rest of the message then carries it along.
    __m128i x[4] = {_mm_xor_si128(loadBlock(p), _mm_set_epi32(int(crc), 0, 0, 0)), loadBlock(p + 16), loadBlock(p + 32),
                    loadBlock(p + 48)};
    qint64 at = 64;
    for (; at + 64 <= n; at += 64) {
        for (int k = 0; k < 4; ++k)
            x[k] = _mm_xor_si128(fold(x[k], byFour), loadBlock(p + at + 16 * k));
    }
    __m128i folded = x[0];
    for (int k = 1; k < 4; ++k)
        folded = _mm_xor_si128(fold(folded, byOne), x[k]);
    for (; at + 16 <= n; at += 16)
        folded = _mm_xor_si128(fold(folded, byOne), loadBlock(p + at));
    return {remainderOf(folded), at};
}

bool canFold()
{
    static const bool can = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("ssse3");
    return can;
}

} // namespace

FoldedCrc foldCrc32(quint32 crc, const uchar *bytes, qint64 n)
{
    if (n < 64 || !canFold())
        return {crc, 0};
    return foldWithCarrylessMultiply(crc, bytes, n);
}

#else

FoldedCrc foldCrc32(quint32 crc, const uchar *, qint64)
{
    return {crc, 0};
}

#endif

} // namespace velvane
