#include "core/encoding/plausibility.h"

#include "core/encoding/alphabets.h"
#include "core/encoding/cjkcharacters.h"

#include <QChar>
#include <QHash>
#include <QList>
#include <QString>

#include <algorithm>

namespace velvane {

namespace {

// The weights: a sure sign of a wrong reading costs 10, a strong one 4 to 6, a doubtful one 1 to 3.
constexpr double brokenCharacter = 10;
constexpr double boxDrawing = 5;
constexpr double symbolInWord = 6;
constexpr double symbolInCjkWord = 1;
constexpr double mixedScripts = 6;
constexpr double asciiInCjkWord = 1;
constexpr double caseInversion = 4;
constexpr double strayMark = 3;
constexpr double accentHeavyLetter = 2;
constexpr double strangeLoneLetter = 3;
constexpr double misplacedSigma = 2;
constexpr double rareGreek = 1;
constexpr double doubleAccent = 2;
constexpr double loneJamo = 2;
constexpr double halfwidthKana = 1;
constexpr double brokenThaiSyllable = 3;
constexpr double obsoleteThai = 2;
constexpr double rareThai = 1;

enum class Script
{
    None,
    Latin,
    Greek,
    Cyrillic,
    Hebrew,
    Arabic,
    Thai,
    Cjk,
    Hangul,
    Other,
};

bool isCjkPunctuationOrKanaBlock(char32_t c)
{
    return (c >= 0x3000 && c <= 0x30FF) || (c >= 0xFF00 && c <= 0xFF9F);
}

Script scriptOf(char32_t c)
{
    switch (QChar::script(c)) {
    case QChar::Script_Latin:
        return Script::Latin;
    case QChar::Script_Greek:
        return Script::Greek;
    case QChar::Script_Cyrillic:
        return Script::Cyrillic;
    case QChar::Script_Hebrew:
        return Script::Hebrew;
    case QChar::Script_Arabic:
        return Script::Arabic;
    case QChar::Script_Thai:
        return Script::Thai;
    case QChar::Script_Han:
    case QChar::Script_Hiragana:
    case QChar::Script_Katakana:
    case QChar::Script_Bopomofo:
        return Script::Cjk;
    case QChar::Script_Hangul:
        return Script::Hangul;
    case QChar::Script_Common:
    case QChar::Script_Inherited:
        // The prolonged sound mark and the iteration marks belong to kana and kanji words.
        return isCjkPunctuationOrKanaBlock(c) ? Script::Cjk : Script::None;
    default:
        return Script::Other;
    }
}

bool isWordLetter(char32_t c)
{
    return QChar::isLetter(c) && scriptOf(c) != Script::None;
}

bool isBroken(char32_t c)
{
    if (c < 0x20)
        return c != u'\t' && c != u'\n' && c != u'\r';
    if ((c >= 0x7F && c < 0xA0) || c == 0xFFFD || (c >= 0xE000 && c <= 0xF8FF) || c >= 0xF0000)
        return true;
    const QChar::Category category = QChar::category(c);
    return category == QChar::Other_NotAssigned || category == QChar::Other_Surrogate ||
           category == QChar::Other_PrivateUse;
}

// Signs that sit inside words only when the bytes were read with the wrong table. Quotes, dashes,
// brackets, the Spanish marks, the middle dot and CJK punctuation are at home next to letters.
bool isSuspiciousSymbol(char32_t c)
{
    if (c < 0xA0 || isCjkPunctuationOrKanaBlock(c))
        return false;
    switch (c) {
    case 0x00A1: // ¡
    case 0x00B4: // ´, often typed for an apostrophe
    case 0x00B7: // ·
    case 0x00AA: // ª
    case 0x00BA: // º
    case 0x00BF: // ¿
    case 0x2026: // …
    case 0x2027: // ‧
        return false;
    default:
        break;
    }
    switch (QChar::category(c)) {
    case QChar::Symbol_Math:
    case QChar::Symbol_Currency:
    case QChar::Symbol_Modifier:
    case QChar::Symbol_Other:
    case QChar::Number_Other:
    case QChar::Punctuation_Other:
        return true;
    case QChar::Letter_Modifier:
    case QChar::Letter_Lowercase:
    case QChar::Letter_Other:
        return scriptOf(c) == Script::None; // µ, ˆ, ˜: letters of no script
    default:
        return false;
    }
}

bool isCased(Script script)
{
    return script == Script::Latin || script == Script::Greek || script == Script::Cyrillic;
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

class Judge
{
public:
    explicit Judge(QStringView text)
    {
        const QList<uint> ucs4 = text.toUcs4();
        m_text = QList<char32_t>(ucs4.cbegin(), ucs4.cend());
    }

    Implausibility verdict()
    {
        qsizetype wordStart = -1;
        for (qsizetype i = 0; i < m_text.size(); ++i) {
            const char32_t c = m_text[i];
            if (c >= 0x80)
                ++m_result.judged;
            const bool inWord = isWordLetter(c) || (wordStart >= 0 && QChar::isMark(c));
            if (inWord && wordStart < 0)
                wordStart = i;
            if (!inWord && wordStart >= 0) {
                judgeWord(wordStart, i);
                wordStart = -1;
            }
            if (!inWord)
                judgeOther(i);
            judgeCharacter(c);
            if (c >= 0x0E01 && c <= 0x0E5B)
                judgeThai(i);
        }
        if (wordStart >= 0)
            judgeWord(wordStart, m_text.size());
        m_result.score += latinMisfit(m_latinLetters, Languages::UpToTwo) +
                          cyrillicMisfit(m_cyrillicLetters, Languages::UpToTwo) + hanMisfit();
        return m_result;
    }

private:
    void add(double cost) { m_result.score += cost; }

    // Words repeat, and so do their letters.
    double wordMisfit(const QString &letters, double (*misfit)(const QString &, Languages))
    {
        if (letters.isEmpty())
            return 0;
        const auto known = m_wordMisfits.constFind(letters);
        if (known != m_wordMisfits.cend())
            return *known;
        return *m_wordMisfits.insert(letters, misfit(letters, Languages::One));
    }

    static void addLetter(QString &letters, char32_t c)
    {
        // Turkish İ is the capital of a plain i, which the alphabets leave out; Qt keeps its case.
        const char32_t lower = c == 0x0130 ? u'i' : QChar::toLower(c);
        if (lower >= 0x80 && lower <= 0xFFFF && !letters.contains(QChar(char16_t(lower))))
            letters.append(QChar(char16_t(lower)));
    }

    bool isLetterAt(qsizetype i) const { return i >= 0 && i < m_text.size() && isWordLetter(m_text[i]); }

    void judgeOther(qsizetype i)
    {
        const char32_t c = m_text[i];
        if (isBroken(c)) {
            add(brokenCharacter);
        } else if (c >= 0x2500 && c <= 0x259F) {
            add(boxDrawing);
        } else if (QChar::isMark(c)) {
            add(strayMark);
        } else if (isSuspiciousSymbol(c)) {
            for (const qsizetype n : {i - 1, i + 1}) {
                if (isLetterAt(n)) {
                    const Script script = scriptOf(m_text[n]);
                    add(script == Script::Cjk || script == Script::Hangul ? symbolInCjkWord : symbolInWord);
                    break;
                }
            }
        }
    }

    void judgeWord(qsizetype begin, qsizetype end)
    {
        QList<Script> scripts;
        QString latinLetters;
        QString cyrillicLetters;
        bool asciiLatin = false;
        bool otherLatin = false;
        qsizetype latin = 0;
        qsizetype accented = 0;
        for (qsizetype i = begin; i < end; ++i) {
            const char32_t c = m_text[i];
            const Script script = scriptOf(c);
            if (script == Script::Latin) {
                ++latin;
                (c < 0x80 ? asciiLatin : otherLatin) = true;
                if (c >= 0x80 && QChar::isLetter(c)) {
                    ++accented;
                    addLetter(latinLetters, c);
                }
            } else if (script == Script::Cyrillic && QChar::isLetter(c)) {
                addLetter(cyrillicLetters, c);
            }
            if (script != Script::None && !scripts.contains(script))
                scripts.append(script);
            if (i > begin)
                judgePair(m_text[i - 1], c);
        }
        if (scripts.size() > 1) {
            const bool onlyAsciiWithCjk = scripts.size() == 2 && !otherLatin && asciiLatin &&
                                          (scripts.contains(Script::Cjk) || scripts.contains(Script::Hangul));
            add(onlyAsciiWithCjk ? asciiInCjkWord : mixedScripts);
        }
        add(wordMisfit(latinLetters, latinMisfit) + wordMisfit(cyrillicLetters, cyrillicMisfit));
        if (end - begin == 1 && latin == 1 && accented == 1 && latinLetters.size() == 1 &&
            !QStringView(u"àáâèéêìíòóôùúåäöüįı").contains(latinLetters.front()))
            add(strangeLoneLetter);
        // Latin words carry a few accented letters among plain ones; a run of them is another script misread.
        if (accented >= 4 && 2 * accented > latin)
            add(accentHeavyLetter * double(accented));
        if (scriptOf(m_text[begin]) == Script::Greek)
            judgeGreekWord(begin, end);
    }

    // Greek closes a word with ς and accents it once; ΐ and ΰ hardly occur.
    void judgeGreekWord(qsizetype begin, qsizetype end)
    {
        int accents = 0;
        for (qsizetype i = begin; i < end; ++i) {
            const char32_t c = m_text[i];
            const bool last = i + 1 == end;
            if ((c == 0x03C2 && !last) || (c == 0x03C3 && last && end - begin > 1))
                add(misplacedSigma);
            if (c == 0x0390 || c == 0x03B0)
                add(rareGreek);
            if (QStringView(u"ΆΈΉΊΌΎΏάέήίόύώΐΰ").contains(QChar(char16_t(c))))
                ++accents;
        }
        if (accents > 1)
            add(doubleAccent);
    }

    // A capital straight after a small letter, where one of them is beyond ASCII: "ZoŽ", "цПСО". Names like
    // "McCartney" keep to ASCII.
    void judgePair(char32_t previous, char32_t c)
    {
        if (previous < 0x80 && c < 0x80)
            return;
        if (QChar::isLower(previous) && QChar::isUpper(c) && isCased(scriptOf(previous)) && isCased(scriptOf(c)))
            add(caseInversion);
    }

    void judgeCharacter(char32_t c)
    {
        if (c < 0x80)
            return;
        const Script script = scriptOf(c);
        if (script == Script::Latin && QChar::isLetter(c)) {
            addLetter(m_latinLetters, c);
        } else if (script == Script::Cyrillic && QChar::isLetter(c)) {
            addLetter(m_cyrillicLetters, c);
        } else if (c >= 0x3040 && c <= 0x30FF && c != 0x30FB && c != 0x30FC) {
            m_kana = true;
        } else if (c >= 0xAC00 && c <= 0xD7A3) {
            add(rankCost(hangulRank(c)));
        } else if (c >= 0x3130 && c <= 0x318F) {
            add(loneJamo);
        } else if (c >= 0xFF61 && c <= 0xFF9F) {
            add(halfwidthKana);
        }
        if (script == Script::Cjk && QChar::isLetter(c))
            judgeHan(c);
    }

    // Thai writes vowel signs and tone marks on a consonant and a leading vowel before one; readings of other
    // scripts' bytes put them anywhere.
    void judgeThai(qsizetype i)
    {
        const char32_t c = m_text[i];
        const auto isConsonant = [](char32_t x) {
            return x >= 0x0E01 && x <= 0x0E2E;
        };
        const auto isUpperOrLowerVowel = [](char32_t x) {
            return x == 0x0E31 || (x >= 0x0E34 && x <= 0x0E3A);
        };
        const char32_t previous = i > 0 ? m_text[i - 1] : 0;
        const char32_t next = i + 1 < m_text.size() ? m_text[i + 1] : 0;
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
        if (broken)
            add(brokenThaiSyllable);
        if (QStringView(u"\u0E03\u0E05\u0E26\u0E4E\u0E4F\u0E5A\u0E5B").contains(QChar(char16_t(c))))
            add(obsoleteThai);
        else if (QStringView(u"ฆฌฎฏฐฑฒฬฮ").contains(QChar(char16_t(c))))
            add(rareThai); // letters of a few loan words
    }

    void judgeHan(char32_t c)
    {
        if (c >= 0x4E00 && c <= 0x9FFF) {
            const HanRanks ranks = hanRanks(c);
            m_simplifiedCost += rankCost(ranks.simplified);
            m_traditionalCost += rankCost(ranks.traditional);
            m_japaneseCost += rankCost(ranks.japanese);
            // Kana vouch for the kanji between them.
            m_japaneseKanjiCost += ranks.japanese == CharacterRank::First ? 0 : rankCost(ranks.japanese);
        } else if ((c >= 0x3400 && c <= 0x4DBF) || (c >= 0xF900 && c <= 0xFAFF) || c >= 0x20000) {
            // Extensions and compatibility forms: no national set holds them.
            const double absent = rankCost(CharacterRank::Absent);
            m_simplifiedCost += absent;
            m_traditionalCost += absent;
            m_japaneseCost += absent;
            m_japaneseKanjiCost += absent;
        }
    }

    // A sheet is written in one of the national sets; kana make it Japanese.
    double hanMisfit() const
    {
        if (m_kana)
            return m_japaneseKanjiCost;
        return std::min({m_simplifiedCost, m_traditionalCost, m_japaneseCost});
    }

    QList<char32_t> m_text;
    Implausibility m_result;
    QString m_latinLetters;
    QString m_cyrillicLetters;
    QHash<QString, double> m_wordMisfits; // Latin and Cyrillic letters never share a key
    bool m_kana = false;
    double m_simplifiedCost = 0;
    double m_traditionalCost = 0;
    double m_japaneseCost = 0;
    double m_japaneseKanjiCost = 0;
};

} // namespace

Implausibility implausibility(QStringView text)
{
    return Judge(text).verdict();
}

} // namespace velvane
