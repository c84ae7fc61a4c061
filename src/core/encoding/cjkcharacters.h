#pragma once

namespace velvane {

// How common a character is. The national character sets rank theirs in two levels, the first holding the
// few thousand that make up nearly all running text; a short list of the most frequent ones picks out real
// text from a random draw of the first level.
enum class CharacterRank
{
    Frequent,
    First,
    Second,
    Absent,
};

struct HanRanks
{
    CharacterRank simplified = CharacterRank::Absent;  // GB 2312
    CharacterRank traditional = CharacterRank::Absent; // Big5
    CharacterRank japanese = CharacterRank::Absent;    // JIS X 0208
};

[[nodiscard]] HanRanks hanRanks(char32_t c);
// Frequent, First (one of the 2350 syllables of KS X 1001) or Absent.
[[nodiscard]] CharacterRank hangulRank(char32_t c);

} // namespace velvane
