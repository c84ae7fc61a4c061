#pragma once

#include <QString>

#include <chrono>

namespace velvane {

inline constexpr const char *kNumberFilesKey = "numberFiles";
inline constexpr const char *kSetID3Key = "setID3";
inline constexpr const char *kWavAsFlacKey = "wavAsFlac";

// A boolean user preference; off when nothing is stored.
[[nodiscard]] bool preference(const QString &key);
void setPreference(const QString &key, bool on);

// How long a splitter may go without progress before it is taken for hung: "splitter/stallSeconds", 60 unless a
// positive number is stored.
[[nodiscard]] std::chrono::milliseconds splitterStallTimeout();

} // namespace velvane
