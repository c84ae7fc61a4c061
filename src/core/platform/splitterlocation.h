#pragma once

#include <QString>

namespace velvane {

// Where the installed splitter is run from when nothing else is configured.
[[nodiscard]] QString installedSplitterPath();

} // namespace velvane
