#include "core/encoding/plausibility.h"

#include "core/encoding/alphabets.h"
#include "core/encoding/characterclasses.h"
#include "core/encoding/scriptrules.h"

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
constexpr double unclosedQuote = 4;
constexpr qsizetype quoteReach = 256;
constexpr double accentHeavyLetter = 2;
constexpr double strangeLoneLetter = 3;
constexpr double loneJamo = 2;
constexpr double halfwidthKana = 1;

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
                add(thaiDoubt(m_text, i));
        }
        if (wordStart >= 0)
            judgeWord(wordStart, m_text.size());
        m_result.score += latinMisfit(m_latinLetters, Languages::UpToTwo) +
                          cyrillicMisfit(m_cyrillicLetters, Languages::UpToTwo) + m_han.doubt(m_kana);
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
        } else if (isLowOpeningQuote(c) && isLetterAt(i + 1) && isLetterAt(i - 1)) {
            add(symbolInWord);
        } else if (isLowOpeningQuote(c) && isLetterAt(i + 1) && !isClosedOnItsLine(i)) {
            add(unclosedQuote);
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

    // Titles are short: a quotation that has not closed this far on will not.
    bool isClosedOnItsLine(qsizetype opening) const
    {
        const qsizetype end = std::min(m_text.size(), opening + 1 + quoteReach);
        for (qsizetype i = opening + 1; i < end && m_text[i] != u'\n'; ++i) {
            if (closesQuote(m_text[opening], m_text[i]))
                return true;
        }
        return false;
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
            add(greekWordDoubt(m_text, begin, end));
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
            add(hangulDoubt(c));
        } else if (c >= 0x3130 && c <= 0x318F) {
            add(loneJamo);
        } else if (c >= 0xFF61 && c <= 0xFF9F) {
            add(halfwidthKana);
        }
        if (script == Script::Cjk && QChar::isLetter(c))
            m_han.add(c);
    }

    QList<char32_t> m_text;
    Implausibility m_result;
    QString m_latinLetters;
    QString m_cyrillicLetters;
    QHash<QString, double> m_wordMisfits; // Latin and Cyrillic letters never share a key
    bool m_kana = false;
    HanTally m_han;
};

} // namespace

Implausibility implausibility(QStringView text)
{
    return Judge(text).verdict();
}

} // namespace velvane
