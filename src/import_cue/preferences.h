#pragma once

#include <QString>

namespace velvane {

inline constexpr const char *kNumberFilesKey = "numberFiles";
inline constexpr const char *kSetID3Key = "setID3";

// A boolean user preference; off when nothing is stored.
[[nodiscard]] bool preference(const QString &key);
void setPreference(const QString &key, bool on);

} // namespace velvane
