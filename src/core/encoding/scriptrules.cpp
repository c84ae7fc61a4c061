#include "core/encoding/scriptrules.h"

#include "core/encoding/cjkcharacters.h"

#include <QChar>
#include <QStringView>

#include <algorithm>

namespace velvane {

namespace {

constexpr double brokenThaiSyllable = 3;
constexpr double obsoleteThai = 2;
constexpr double rareThai = 1;
constexpr double misplacedSigma = 2;
constexpr double rareGreek = 1;
constexpr double doubleAccent = 2;

bool isIn(QStringView characters, char32_t c)
{
    return c <= 0xFFFF && characters.contains(QChar(char16_t(c)));
}

// A reading made of the most frequent characters costs nothing; one drawn from a set's first level costs a
// little per character, as a wrong reading of real text mostly is.
double rankCost(CharacterRank rank)
{
    switch (rank) {
    case CharacterRank::Frequent:
        return 0;
    case CharacterRank::First:
        return 0.5;
    case CharacterRank::Second:
        return 1;
    case CharacterRank::Absent:
        break;
    }
    return 3;
}

} // namespace

double thaiDoubt(const QList<char32_t> &text, qsizetype i)
{
    const auto isConsonant = [](char32_t x) {
        return x >= 0x0E01 && x <= 0x0E2E;
    };
    const auto isUpperOrLowerVowel = [](char32_t x) {
        return x == 0x0E31 || (x >= 0x0E34 && x <= 0x0E3A);
    };
    const char32_t c = text[i];
    const char32_t previous = i > 0 ? text[i - 1] : 0;
    const char32_t next = i + 1 < text.size() ? text[i + 1] : 0;
    bool broken = false;
    if (c >= 0x0E40 && c <= 0x0E44)
        broken = !isConsonant(next);
    else if (isUpperOrLowerVowel(c))
        broken = !isConsonant(previous);
    else if (c >= 0x0E47 && c <= 0x0E4E)
        broken = !isConsonant(previous) && !isUpperOrLowerVowel(previous);
    else if (c == 0x0E33)
        broken = !isConsonant(previous) && !(previous >= 0x0E48 && previous <= 0x0E4B);
    else if (c == 0x0E46) // the repetition mark closes a word
        broken = isConsonant(next);

    double doubt = broken ? brokenThaiSyllable : 0;
    if (isIn(u"\u0E03\u0E05\u0E26\u0E4E\u0E4F\u0E5A\u0E5B", c))
        doubt += obsoleteThai;
    else if (isIn(u"ฆฌฎฏฐฑฒฬฮ", c))
        doubt += rareThai; // letters of a few loan words
    return doubt;
}

double greekWordDoubt(const QList<char32_t> &text, qsizetype begin, qsizetype end)
{
    double doubt = 0;
    int accents = 0;
    for (qsizetype i = begin; i < end; ++i) {
        const char32_t c = text[i];
        const bool last = i + 1 == end;
        if ((c == 0x03C2 && !last) || (c == 0x03C3 && last && end - begin > 1))
            doubt += misplacedSigma;
        if (c == 0x0390 || c == 0x03B0)
            doubt += rareGreek;
        if (isIn(u"ΆΈΉΊΌΎΏάέήίόύώΐΰ", c))
            ++accents;
    }
    return accents > 1 ? doubt + doubleAccent : doubt;
}

double hangulDoubt(char32_t syllable)
{
    return rankCost(hangulRank(syllable));
}

void HanTally::add(char32_t c)
{
    if (c >= 0x4E00 && c <= 0x9FFF) {
        const HanRanks ranks = hanRanks(c);
        m_simplified += rankCost(ranks.simplified);
        m_traditional += rankCost(ranks.traditional);
        m_japanese += rankCost(ranks.japanese);
        m_japaneseWithKana += ranks.japanese == CharacterRank::First ? 0 : rankCost(ranks.japanese);
    } else if ((c >= 0x3400 && c <= 0x4DBF) || (c >= 0xF900 && c <= 0xFAFF) || c >= 0x20000) {
        // Extensions and compatibility forms: no national set holds them.
        const double absent = rankCost(CharacterRank::Absent);
        m_simplified += absent;
        m_traditional += absent;
        m_japanese += absent;
        m_japaneseWithKana += absent;
    }
}

double HanTally::doubt(bool kana) const
{
    return kana ? m_japaneseWithKana : std::min({m_simplified, m_traditional, m_japanese});
}

} // namespace velvane
