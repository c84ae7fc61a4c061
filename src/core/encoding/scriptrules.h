#pragma once

#include <QList>

namespace velvane {

// Doubts that only one script's own rules raise, each measured like the general ones of plausibility.cpp.

// The Thai character at i: vowel signs and tone marks sit on a consonant, a leading vowel stands before one,
// and a few letters are obsolete or rare.
[[nodiscard]] double thaiDoubt(const QList<char32_t> &text, qsizetype i);
// The Greek word in [begin, end): ς closes a word and σ does not, one accent a word, ΐ and ΰ hardly occur.
[[nodiscard]] double greekWordDoubt(const QList<char32_t> &text, qsizetype begin, qsizetype end);
// A Hangul syllable: nothing for a frequent one, little for one of KS X 1001, much for one outside it.
[[nodiscard]] double hangulDoubt(char32_t syllable);

// Kanji and hanzi, counted against each national set; the text is judged by the set it fits best.
class HanTally
{
public:
    void add(char32_t c);
    // Kana make a text Japanese, and vouch for the first-level kanji between them.
    [[nodiscard]] double doubt(bool kana) const;

private:
    double m_simplified = 0;
    double m_traditional = 0;
    double m_japanese = 0;
    double m_japaneseWithKana = 0;
};

} // namespace velvane
