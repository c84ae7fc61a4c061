#include "core/encoding/encodingdecision.h"

#include "core/encoding/bytedecoding.h"
#include "core/encoding/encodinglogging.h"
#include "core/encoding/readings.h"

#include <algorithm>

namespace velvane {

namespace {

// Detection judges the lines that hold bytes beyond ASCII, wherever they stand, up to this much in all: the
// REM, FILE and INDEX lines of plain ASCII tell the encodings nothing, and may fill the start of a long sheet.
constexpr qsizetype sampleLimit = 16 * 1024;
constexpr qsizetype cutSearch = 256;
// The list offered beside the chosen reading: the few next best, not every reading that is not hopeless.
constexpr qsizetype candidateLimit = 6;
constexpr double candidateMargin = 12;

bool holdsNonAscii(QByteArrayView line)
{
    return std::any_of(line.cbegin(), line.cend(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// Where to cut a line that does not fit whole: after two bytes below 0x80 in a row. The multibyte encodings detected
// (Shift_JIS, EUC, GB18030, Big5, UHC) start every character of several bytes with one of 0x81 or above, so the
// second of the two is a character of its own and the cut splits none. Failing such a pair near the limit, the cut
// falls at the limit and may cost the sample its last character.
qsizetype cutWithin(QByteArrayView line, qsizetype limit)
{
    const auto isAscii = [&](qsizetype i) {
        return static_cast<unsigned char>(line[i]) < 0x80;
    };
    for (qsizetype end = limit; end >= 2 && end > limit - cutSearch; --end) {
        if (isAscii(end - 1) && isAscii(end - 2))
            return end;
    }
    return limit;
}

QByteArray sampleOf(QByteArrayView bytes)
{
    QByteArray sample;
    for (qsizetype start = 0; start < bytes.size() && sample.size() < sampleLimit;) {
        const qsizetype newline = bytes.indexOf('\n', start);
        const qsizetype end = newline < 0 ? bytes.size() : newline + 1;
        const QByteArrayView line = bytes.sliced(start, end - start);
        if (holdsNonAscii(line)) {
            const qsizetype room = sampleLimit - sample.size();
            sample.append(line.size() <= room ? line : line.first(cutWithin(line, room)));
        }
        start = end;
    }
    return sample;
}

} // namespace

LegacyReading readLegacyText(QByteArrayView bytes)
{
    const bool whole = bytes.size() <= sampleLimit;
    const QByteArray sample = whole ? QByteArray() : sampleOf(bytes);
    const QList<Reading> readings = readingsOf(whole ? bytes : QByteArrayView(sample));

    LegacyReading result;
    const Reading *chosen = nullptr;
    for (const Reading &reading : readings) {
        qCDebug(lcEncoding) << reading.encoding()->name << "support" << reading.support << "doubt"
                            << reading.doubt.score << "of" << reading.doubt.judged;
        if (reading.doubt.isHopeless() || result.candidates.size() == candidateLimit ||
            (chosen && reading.total() < chosen->total() - candidateMargin))
            continue;
        result.candidates.append(reading.encoding());
        if (!chosen)
            chosen = &reading;
    }
    if (!chosen) {
        result.encoding = &windows1252Encoding();
        result.text = decodedLeniently(bytes, *result.encoding);
        result.candidates = {result.encoding};
        return result;
    }
    result.encoding = chosen->encoding();
    result.text = whole ? chosen->text : decodedLeniently(bytes, *result.encoding);
    return result;
}

} // namespace velvane
