#pragma once

namespace velvane {

// Characters that sheet text must never carry into a file name or onto a terminal: C0, DEL and C1 controls, which
// cut names short or start escape sequences, and the bidirectional embeddings, overrides and isolates, which make
// a name or a line read differently from what it holds.
[[nodiscard]] bool isControlCharacter(char16_t c);

} // namespace velvane
