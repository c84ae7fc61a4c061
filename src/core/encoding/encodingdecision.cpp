#include "core/encoding/encodingdecision.h"

#include "core/encoding/bytedecoding.h"
#include "core/encoding/encodinglogging.h"
#include "core/encoding/readings.h"

namespace velvane {

namespace {

// Detection looks at the start of a long file only; the cut falls at a line end, never inside a character.
constexpr qsizetype sampleLimit = 16 * 1024;
// The list offered beside the chosen reading: the few next best, not every reading that is not hopeless.
constexpr qsizetype candidateLimit = 6;
constexpr double candidateMargin = 12;

QByteArrayView sampleOf(QByteArrayView bytes)
{
    if (bytes.size() <= sampleLimit)
        return bytes;
    const QByteArrayView head = bytes.first(sampleLimit);
    const qsizetype lineEnd = head.lastIndexOf('\n');
    return lineEnd > 0 ? head.first(lineEnd + 1) : head;
}

} // namespace

LegacyReading readLegacyText(QByteArrayView bytes)
{
    const QByteArrayView sample = sampleOf(bytes);
    const QList<Reading> readings = readingsOf(sample);

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
    result.text = sample.size() == bytes.size() ? chosen->text : decodedLeniently(bytes, *result.encoding);
    return result;
}

} // namespace velvane
