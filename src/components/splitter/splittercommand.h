#pragma once

#include <QLoggingCategory>
#include <QString>

#include <optional>

Q_DECLARE_LOGGING_CATEGORY(lcSplitter)

namespace velvane {

// The installed splitter (/usr/local/bin/mp3splt), unless the environment variable VELVANE_MP3SPLT names another
// program.
[[nodiscard]] QString splitterProgram();

// Cue frames (1/75 s) to the nearest hundredth, the splitter's resolution.
[[nodiscard]] constexpr qint64 hundredthsOfFrames(qint64 cueFrames)
{
    // round(ff * 100 / 75) = round(4ff / 3), and a third never ends in .5, so integer rounding is exact.
    return (cueFrames * 4 + 1) / 3;
}

// Hundredths in the splitter's notation m.ss.hh.
[[nodiscard]] QString splitterTime(qint64 hundredths);

} // namespace velvane
