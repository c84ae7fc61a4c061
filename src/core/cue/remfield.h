#pragma once

#include <QString>

#include <optional>

namespace velvane {

// A "REM KEY value" line: rippers put what the cue format has no keyword for (DATE, GENRE, DISCNUMBER,
// REPLAYGAIN_*) behind REM.
struct RemField
{
    QString key; // in capitals
    QString value;
};

// None for a line that is not REM followed by a key.
[[nodiscard]] std::optional<RemField> remField(const QString &line);

} // namespace velvane
