#include "core/encoding/readings.h"

#include "core/encoding/bytedecoding.h"
#include "core/encoding/characterclasses.h"
#include "core/encoding/detectors.h"
#include "core/encoding/encodinglogging.h"

#include <QSet>

#include <algorithm>
#include <limits>

namespace velvane {

namespace {

// uchardet's answer outweighs a doubtful sign but never a sure one. ICU's confidence counts for more when it
// comes from its CJK recognisers, which count frequent characters, than from its single-byte ones, which
// need more text than a short sheet holds.
constexpr double uchardetWeight = 4;
constexpr double icuCjkWeight = 0.08;
constexpr double icuSingleByteWeight = 0.03;
// A rarely used code page is chosen over the common one of its script only on clear evidence: its reading is less
// doubtful by more than one strong sign, in more than one character. The detectors' vote does not count here:
// uchardet names Mac code pages for Windows sheets whose only such byte is an apostrophe.
constexpr double rareEncodingMargin = 6;
constexpr qsizetype rareEncodingCharacters = 2;

bool isCjk(const TextEncoding &encoding)
{
    return encoding.language == QLatin1StringView("Japanese") ||
           encoding.language.startsWith(QLatin1StringView("Chinese")) ||
           encoding.language == QLatin1StringView("Korean");
}

struct Evidence
{
    const TextEncoding *uchardet = nullptr;
    QList<std::pair<const TextEncoding *, int>> icu; // most confident first
};

Evidence evidenceFor(QByteArrayView sample)
{
    Evidence evidence;
    const QByteArray answer = uchardetAnswer(sample);
    evidence.uchardet = findTextEncoding(QString::fromLatin1(answer));
    const QList<DetectorMatch> matches = icuMatches(sample);
    for (const DetectorMatch &match : matches) {
        if (const TextEncoding *encoding = findTextEncoding(QString::fromLatin1(match.charset)))
            evidence.icu.append({encoding, match.confidence});
    }
    qCDebug(lcEncoding) << "uchardet:" << answer << "ICU:" << [&] {
        QStringList named;
        for (const DetectorMatch &match : matches)
            named.append(QString::fromLatin1(match.charset) + u'/' + QString::number(match.confidence));
        return named;
    }();
    return evidence;
}

QList<const TextEncoding *> candidatesFor(const Evidence &evidence)
{
    QList<const TextEncoding *> candidates;
    for (const TextEncoding &encoding : textEncodings()) {
        const bool named =
            &encoding == evidence.uchardet || std::any_of(evidence.icu.cbegin(), evidence.icu.cend(),
                                                          [&](const auto &match) { return match.first == &encoding; });
        if (encoding.kind != EncodingKind::Utf8 && encoding.kind != EncodingKind::Utf16LE &&
            encoding.kind != EncodingKind::Utf16BE && (encoding.detected || named))
            candidates.append(&encoding);
    }
    return candidates;
}

double supportFor(const TextEncoding *encoding, const Evidence &evidence)
{
    double support = encoding == evidence.uchardet ? uchardetWeight : 0;
    for (const auto &[named, confidence] : evidence.icu) {
        if (named == encoding) {
            support += confidence * (isCjk(*encoding) ? icuCjkWeight : icuSingleByteWeight);
            break;
        }
    }
    return support;
}

// Where the common code page that a rare reading must beat stands among the readings; -1 when the reading is
// not one of rare code pages only.
qsizetype commonRivalOf(const QList<Reading> &readings, const Reading &reading)
{
    const bool rare = std::all_of(reading.encodings.cbegin(), reading.encodings.cend(),
                                  [](const TextEncoding *e) { return !e->commonCounterpart.isEmpty(); });
    if (!rare)
        return -1;
    const TextEncoding *common = findTextEncoding(QString(reading.encoding()->commonCounterpart));
    const auto rival = std::find_if(readings.cbegin(), readings.cend(),
                                    [&](const Reading &r) { return r.encodings.contains(common); });
    return rival == readings.cend() ? -1 : rival - readings.cbegin();
}

// The characters of the rare reading where the two readings differ, each counted once. Rare code pages and their
// counterparts are single-byte, so the readings match character for character. A byte the common code page has
// no character for is evidence enough on its own: that code page did not write it.
qsizetype distinctDifferences(QStringView rare, QStringView common)
{
    if (rare.size() != common.size())
        return std::numeric_limits<qsizetype>::max();
    QSet<QChar> differing;
    for (qsizetype i = 0; i < rare.size(); ++i) {
        if (rare[i] == common[i])
            continue;
        if (isBroken(common[i].unicode()) && !isBroken(rare[i].unicode()))
            return std::numeric_limits<qsizetype>::max();
        differing.insert(rare[i]);
    }
    return differing.size();
}

bool clearlyBetter(const Reading &rare, const Reading &common)
{
    return common.doubt.score - rare.doubt.score > rareEncodingMargin &&
           distinctDifferences(rare.text, common.text) >= rareEncodingCharacters;
}

// The common reading takes the place a rare one earned: were it only put behind the rare one, a reading of another
// script that stood between them would win, though the two together make that script the likely one.
void putCommonBeforeRare(QList<Reading> &readings)
{
    for (qsizetype i = 0; i < readings.size(); ++i) {
        const qsizetype rival = commonRivalOf(readings, readings[i]);
        if (rival > i && !clearlyBetter(readings[i], readings[rival]))
            readings.move(rival, i);
    }
}

} // namespace

QList<Reading> readingsOf(QByteArrayView sample)
{
    const Evidence evidence = evidenceFor(sample);
    QList<Reading> readings;
    for (const TextEncoding *encoding : candidatesFor(evidence)) {
        // Bytes an encoding cannot convert count against it as broken characters rather than ruling it out:
        // one stray byte must not cost a sheet its encoding.
        const QString text = decodedLeniently(sample, *encoding);
        const double support = supportFor(encoding, evidence);
        auto same = std::find_if(readings.begin(), readings.end(), [&](const Reading &r) { return r.text == text; });
        if (same == readings.end()) {
            readings.append({{encoding}, text, implausibility(text), support, support > 0 ? encoding : nullptr});
            continue;
        }
        same->encodings.append(encoding);
        if (support > same->support) {
            same->support = support;
            same->named = encoding;
        }
    }
    // Stable: among equals the encoding listed first in the catalogue, the more common one, wins.
    std::stable_sort(readings.begin(), readings.end(),
                     [](const Reading &a, const Reading &b) { return a.total() > b.total(); });
    putCommonBeforeRare(readings);
    return readings;
}

} // namespace velvane
