#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

namespace velvane {

// What the setters asked for; a value never set leaves whatever the piece holds for it.
struct TagValues
{
    std::optional<QString> title;
    std::optional<QString> artist;
    std::optional<QString> album;
    std::optional<int> year;                  // 0 or less: no year
    std::optional<std::pair<int, int>> track; // number (0 for a pregap piece) and total
    std::optional<QStringList> genres;
};

} // namespace velvane
