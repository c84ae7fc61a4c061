#pragma once

#include <QStringView>

namespace velvane {

// How unlike the text of a real cue sheet a decoded text looks: 0 for plain words, more for each sign of a
// wrong encoding (controls, symbols stuck to letters, words mixing scripts or case, letters no language
// uses together, rare CJK characters). Meant for comparing the readings of the same bytes.
struct Implausibility
{
    double score = 0;
    qsizetype judged = 0; // characters beyond ASCII, which the score is about

    // More than this per character beyond ASCII: no reading of that kind is plausible.
    [[nodiscard]] bool isHopeless() const { return score > 2.0 * double(judged); }
};

[[nodiscard]] Implausibility implausibility(QStringView text);

} // namespace velvane
