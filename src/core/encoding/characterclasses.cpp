#include "core/encoding/characterclasses.h"

#include <QChar>

namespace velvane {

namespace {

bool isCjkPunctuationOrKanaBlock(char32_t c)
{
    return (c >= 0x3000 && c <= 0x30FF) || (c >= 0xFF00 && c <= 0xFF9F);
}

} // namespace

Script scriptOf(char32_t c)
{
    // Full-width Latin letters and digits exist only in the CJK character sets, and Japanese titles use them
    // among kana and kanji: they are part of a CJK word, not accented Latin.
    if (c >= 0xFF01 && c <= 0xFF5E)
        return Script::Cjk;
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

// Quotes, dashes, brackets, the Spanish marks, the middle dot and CJK punctuation are at home next to letters.
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

bool isLowOpeningQuote(char32_t c)
{
    return c == 0x201A || c == 0x201E || c == 0x2039;
}

// German closes ‚ and „ with ‘ and “, Polish, Hungarian and Romanian close „ with ”.
bool closesQuote(char32_t opening, char32_t c)
{
    switch (opening) {
    case 0x201A:
        return c == 0x2018 || c == 0x2019;
    case 0x201E:
        return c == 0x201C || c == 0x201D;
    case 0x2039:
        return c == 0x203A;
    default:
        return false;
    }
}

bool isCased(Script script)
{
    return script == Script::Latin || script == Script::Greek || script == Script::Cyrillic;
}

} // namespace velvane
