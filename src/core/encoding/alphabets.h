#pragma once

#include <QString>

namespace velvane {

// How badly a set of distinct letters fits the alphabets of real languages: 0 when one language uses every
// letter commonly; a little for each letter it uses rarely; much for each letter it lacks. A word is written
// in one language; a sheet may mix two, at a price. Latin letters are given without the ASCII ones, Cyrillic
// letters all; every letter in lower case.
enum class Languages
{
    One,
    UpToTwo,
};
[[nodiscard]] double latinMisfit(const QString &letters, Languages languages);
[[nodiscard]] double cyrillicMisfit(const QString &letters, Languages languages);

} // namespace velvane
