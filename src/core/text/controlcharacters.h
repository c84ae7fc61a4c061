#pragma once

#include <QString>

namespace velvane {

// Characters that sheet text must never carry into a file name or onto a terminal: C0, DEL and C1 controls, which
// cut names short or start escape sequences, and the bidirectional embeddings, overrides and isolates, which make
// a name or a line read differently from what it holds.
[[nodiscard]] bool isControlCharacter(char16_t c);

// Sheet text as it may be shown or printed: every control character (C0, DEL, C1, bidirectional overrides and
// isolates) becomes "_", so a NUL can never cut a name short and an escape sequence can never reach a terminal.
[[nodiscard]] QString withoutControlCharacters(const QString &text);

} // namespace velvane
