#include "core/lossless/flacstream.h"

#include "core/lossless/flacframe.h"

#include <cstring>
#include <optional>

namespace velvane {

namespace {

struct Candidate
{
    qsizetype offset = 0;
    qint64 firstSample = 0;
    FlacFrameHeader header;
};

class Walk
{
public:
    Walk(QByteArrayView file, const FlacLayout &layout)
        : m_file(file)
        , m_info(layout.info)
    {}

    // The sample a frame header stands at; frame numbers count blocks of STREAMINFO's size.
    [[nodiscard]] qint64 sampleAt(const FlacFrameHeader &header) const
    {
        return header.variableBlockSize ? qint64(header.number) : qint64(header.number) * m_info.maxBlockSize;
    }

    [[nodiscard]] std::optional<Candidate> headerAt(qsizetype at, bool variable) const
    {
        const auto header = parseFlacFrameHeader(m_file.sliced(at, std::min<qsizetype>(16, m_file.size() - at)));
        if (!header || header->variableBlockSize != variable || header->channels != m_info.channels ||
            header->blockSize > m_info.maxBlockSize)
            return std::nullopt;
        // Where STREAMINFO tells the length, a header beyond it is a chance match in damaged bytes.
        const qint64 first = sampleAt(*header);
        if (m_base && m_info.totalSamples > 0 && first - *m_base + header->blockSize > m_info.totalSamples)
            return std::nullopt;
        return Candidate{at, first, *header};
    }

    // The next frame header at or after from whose number lies at or after expected sample.
    [[nodiscard]] std::optional<Candidate> nextHeader(qsizetype from, bool variable, qint64 expected) const
    {
        const char *base = m_file.data();
        const char *end = base + m_file.size() - 1;
        for (const char *p = base + from; p < end;) {
            p = static_cast<const char *>(std::memchr(p, 0xFF, end - p));
            if (!p)
                break;
            if ((uchar(p[1]) & 0xFE) == 0xF8) {
                if (const auto candidate = headerAt(p - base, variable);
                    candidate && candidate->firstSample >= expected)
                    return candidate;
            }
            ++p;
        }
        return std::nullopt;
    }

    void setBase(qint64 sample) { m_base = sample; }
    [[nodiscard]] qint64 base() const { return m_base.value_or(0); }

private:
    QByteArrayView m_file;
    // The number the file's first frame carries: a file cut from a longer stream may not start at 0.
    std::optional<qint64> m_base;
    FlacStreamInfo m_info;
};

} // namespace

FlacFrames scanFlacFrames(QByteArrayView file, const FlacLayout &layout)
{
    FlacFrames result;
    Walk walk(file, layout);
    // The first frame tells the strategy; a damaged start is looked past.
    auto current = walk.headerAt(layout.audioOffset, false);
    if (!current)
        current = walk.headerAt(layout.audioOffset, true);
    qsizetype damageFrom = -1;
    if (!current) {
        damageFrom = layout.audioOffset;
        current = walk.nextHeader(layout.audioOffset, false, 0);
        if (!current)
            current = walk.nextHeader(layout.audioOffset, true, 0);
    }
    if (!current)
        return result;
    walk.setBase(damageFrom < 0 ? current->firstSample : 0);
    result.variableBlockSize = current->header.variableBlockSize;
    const bool variable = result.variableBlockSize;
    if (damageFrom >= 0 && current->firstSample > 0)
        result.frames.push_back({damageFrom, current->offset - damageFrom, 0, int(current->firstSample), 0, true});

    // The smallest frame there can be: a header and a CRC-16 after at least a byte of subframe.
    constexpr qsizetype minimumFrame = 8;
    while (current) {
        const qint64 expected = current->firstSample + current->header.blockSize;
        auto next = walk.nextHeader(current->offset + current->header.length + minimumFrame - 7, variable, expected);
        qsizetype end = next ? next->offset : file.size();
        // An ID3v1 tag may follow the last frame.
        if (!next && end - 128 > current->offset && file.sliced(end - 128, 3) == "TAG")
            end -= 128;
        FlacFrame frame{current->offset,           end - current->offset,  current->firstSample,
                        current->header.blockSize, current->header.length, false};
        if (next && next->firstSample > expected) {
            // Frames between were lost: what lies up to the next good header is one stretch of damage.
            frame.blockSize = int(std::min<qint64>(next->firstSample - current->firstSample, 1 << 30));
            frame.damaged = true;
        }
        result.frames.push_back(frame);
        current = next;
    }
    for (FlacFrame &frame : result.frames)
        frame.firstSample -= walk.base();
    const FlacFrame &last = result.frames.back();
    result.totalSamples = last.firstSample + last.blockSize;
    return result;
}

} // namespace velvane
