#pragma once

namespace velvane {

// The scripts a cue sheet's words are written in, as far as telling readings apart needs them. Hiragana,
// katakana and kanji are one: Japanese words mix them.
enum class Script
{
    None, // digits, punctuation, symbols, combining marks of any script
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

[[nodiscard]] Script scriptOf(char32_t c);
[[nodiscard]] bool isCased(Script script);
// A letter that belongs to a script: words are runs of these.
[[nodiscard]] bool isWordLetter(char32_t c);
// Controls, private use, unassigned code points and the replacement character: what no sheet holds.
[[nodiscard]] bool isBroken(char32_t c);
// Signs that stand next to letters only when the bytes were read with the wrong table.
[[nodiscard]] bool isSuspiciousSymbol(char32_t c);
// ‚, „ and ‹ open a quotation in front of a word, and it closes on the same line. Between two letters, or
// opening a word with no close, they are bytes of another table read as Windows': a Shift_JIS lead byte, a Mac
// Cyrillic capital.
[[nodiscard]] bool isLowOpeningQuote(char32_t c);
[[nodiscard]] bool closesQuote(char32_t opening, char32_t c);

} // namespace velvane
