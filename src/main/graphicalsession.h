#pragma once

#include <QString>

#include <optional>

// Qt answers a missing display with several lines about platform plugins and a core dump. When nothing says where
// to show the window (no X11 or Wayland display, no platform chosen by QT_QPA_PLATFORM or -platform), this gives
// the one line to print instead; nothing when Qt may try.
[[nodiscard]] std::optional<QString> missingGraphicalSession(int argc, const char *const *argv);
