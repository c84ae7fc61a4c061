#include "core/lossless/flacframe.h"

#include <array>
#include <vector>

namespace velvane {

namespace {

class Crc16
{
public:
    Crc16()
    {
        for (int i = 0; i < 256; ++i) {
            quint16 r = quint16(i << 8);
            for (int bit = 0; bit < 8; ++bit)
                r = (r & 0x8000) ? quint16((r << 1) ^ 0x8005) : quint16(r << 1);
            m_table[0][i] = r;
        }
        for (int k = 1; k < 8; ++k) {
            for (int i = 0; i < 256; ++i)
                m_table[k][i] = quint16((m_table[k - 1][i] << 8) ^ m_table[0][m_table[k - 1][i] >> 8]);
        }
        // x^(8 * 2^k) mod P, to carry a register past 2^k zero bytes.
        quint16 power = afterZeros(1, 1);
        for (auto &p : m_powers) {
            p = power;
            power = multiply(power, power);
        }
    }

    // Every frame of an album goes through this, so it takes eight bytes a step.
    [[nodiscard]] quint16 update(quint16 crc, const uchar *p, qsizetype n) const
    {
        for (; n >= 8; n -= 8, p += 8) {
            crc = m_table[7][p[0] ^ (crc >> 8)] ^ m_table[6][p[1] ^ (crc & 0xFF)] ^ m_table[5][p[2]] ^
                  m_table[4][p[3]] ^ m_table[3][p[4]] ^ m_table[2][p[5]] ^ m_table[1][p[6]] ^ m_table[0][p[7]];
        }
        for (; n > 0; --n, ++p)
            crc = quint16((crc << 8) ^ m_table[0][(crc >> 8) ^ *p]);
        return crc;
    }

    // The register after n more zero bytes.
    [[nodiscard]] quint16 afterZeros(quint16 crc, quint64 n) const
    {
        if (n < 64) {
            for (; n > 0; --n)
                crc = quint16((crc << 8) ^ m_table[0][crc >> 8]);
            return crc;
        }
        for (int k = 0; n; ++k, n >>= 1) {
            if (n & 1)
                crc = multiply(crc, m_powers[k]);
        }
        return crc;
    }

private:
    // a * b mod P, as polynomials over GF(2).
    [[nodiscard]] static quint16 multiply(quint16 a, quint16 b)
    {
        quint16 product = 0;
        for (int bit = 15; bit >= 0; --bit) {
            product = (product & 0x8000) ? quint16((product << 1) ^ 0x8005) : quint16(product << 1);
            if (b & (1 << bit))
                product ^= a;
        }
        return product;
    }

    std::array<std::array<quint16, 256>, 8> m_table;
    std::array<quint16, 64> m_powers;
};

const Crc16 &crc16()
{
    static const Crc16 table;
    return table;
}

const std::array<quint8, 256> &crc8Table()
{
    static const std::array<quint8, 256> table = [] {
        std::array<quint8, 256> t;
        for (int i = 0; i < 256; ++i) {
            quint8 r = quint8(i);
            for (int bit = 0; bit < 8; ++bit)
                r = (r & 0x80) ? quint8((r << 1) ^ 0x07) : quint8(r << 1);
            t[i] = r;
        }
        return t;
    }();
    return table;
}

const uchar *bytesOf(QByteArrayView view)
{
    return reinterpret_cast<const uchar *>(view.data());
}

// Block size codes 6 and 7 keep the size at the end of the header, less one.
int blockSizeOf(int code, QByteArrayView extra)
{
    switch (code) {
    case 0:
        return 0;
    case 1:
        return 192;
    case 6:
        return bytesOf(extra)[0] + 1;
    case 7:
        return (bytesOf(extra)[0] << 8 | bytesOf(extra)[1]) + 1;
    default:
        return code < 6 ? 576 << (code - 2) : 256 << (code - 8);
    }
}

void appendCodedNumber(QByteArray &out, quint64 number)
{
    if (number < 0x80) {
        out += char(number);
        return;
    }
    int continuation = 1;
    while (continuation < 6 && number >= (quint64(1) << (6 + 5 * continuation)))
        ++continuation;
    const uchar lead = uchar(0xFF00 >> (continuation + 1));
    out += char(lead | (continuation == 6 ? 0 : uchar(number >> (6 * continuation))));
    for (int i = continuation - 1; i >= 0; --i)
        out += char(0x80 | ((number >> (6 * i)) & 0x3F));
}

} // namespace

quint8 flacCrc8(QByteArrayView bytes)
{
    quint8 crc = 0;
    for (const uchar b : QByteArrayView(bytes))
        crc = crc8Table()[crc ^ b];
    return crc;
}

quint16 flacCrc16(QByteArrayView bytes, quint16 crc)
{
    return crc16().update(crc, bytesOf(bytes), bytes.size());
}

std::optional<FlacFrameHeader> parseFlacFrameHeader(QByteArrayView bytes)
{
    const uchar *b = bytesOf(bytes);
    if (bytes.size() < 6 || b[0] != 0xFF || (b[1] & 0xFE) != 0xF8)
        return std::nullopt;
    FlacFrameHeader header;
    header.variableBlockSize = b[1] & 1;
    header.codes[0] = b[2];
    header.codes[1] = b[3];
    const int sizeCode = b[2] >> 4, rateCode = b[2] & 15, channelCode = b[3] >> 4, depthCode = (b[3] >> 1) & 7;
    if (sizeCode == 0 || rateCode == 15 || channelCode > 10 || depthCode == 3 || (b[3] & 1))
        return std::nullopt;

    // The number, coded as UTF-8 is, up to seven bytes for 36 bits.
    qsizetype at = 4;
    const uchar lead = b[at++];
    int continuation = 0;
    quint64 number = lead;
    if (lead >= 0x80) {
        while (continuation < 7 && (lead & (0x80 >> (continuation + 1))))
            ++continuation;
        if (continuation == 0 || continuation > 6 || continuation >= (header.variableBlockSize ? 7 : 6))
            return std::nullopt;
        number = lead & (0x3F >> continuation);
        if (bytes.size() < at + continuation)
            return std::nullopt;
        for (int i = 0; i < continuation; ++i) {
            if ((b[at] & 0xC0) != 0x80)
                return std::nullopt;
            number = number << 6 | (b[at++] & 0x3F);
        }
    }
    header.number = number;
    const int extraLength = (sizeCode == 6 ? 1 : sizeCode == 7 ? 2 : 0) + (rateCode == 12 ? 1 : rateCode > 12 ? 2 : 0);
    if (bytes.size() < at + extraLength + 1)
        return std::nullopt;
    header.extra = bytes.sliced(at, extraLength).toByteArray();
    at += extraLength;
    if (flacCrc8(bytes.first(at)) != b[at])
        return std::nullopt;
    header.length = int(at + 1);
    header.blockSize = blockSizeOf(sizeCode, header.extra);
    header.channels = channelCode < 8 ? channelCode + 1 : 2;
    return header;
}

QByteArray writeFlacFrameHeader(const FlacFrameHeader &header, bool variableBlockSize, quint64 number)
{
    QByteArray out;
    out.reserve(16);
    out += char(0xFF);
    out += char(variableBlockSize ? 0xF9 : 0xF8);
    out += char(header.codes[0]);
    out += char(header.codes[1]);
    appendCodedNumber(out, number);
    out += header.extra;
    out += char(flacCrc8(out));
    return out;
}

quint16 flacCrc16WithHeader(QByteArrayView frame, int oldHeaderLength, QByteArrayView newHeader)
{
    const qsizetype bodyLength = frame.size() - oldHeaderLength - 2;
    const quint16 stored = quint16(bytesOf(frame)[frame.size() - 2] << 8 | bytesOf(frame)[frame.size() - 1]);
    const quint16 difference = flacCrc16(frame.first(oldHeaderLength)) ^ flacCrc16(newHeader);
    return stored ^ crc16().afterZeros(difference, quint64(bodyLength));
}

} // namespace velvane
