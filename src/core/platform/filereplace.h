#pragma once

#include "core/platform/filestamp.h"

namespace velvane {

struct FileReplacement
{
    bool ok = false;
    bool targetChanged = false;   // target was no longer the file expected; it was left alone
    bool keepReplacement = false; // replacement's name now holds a file that is not ours: it must not be removed
    QString error;                // the system's words, when !ok and !targetChanged
};

// Puts the finished file at replacement under target's name in one step, provided target still is the file that
// expected describes. Where the system can exchange the two names, replacement's name then holds the old target.
// On failure target is left as it was.
[[nodiscard]] FileReplacement replaceFile(const QString &replacement, const QString &target, const FileStamp &expected);

// Gives the file that is to replace target target's permissions and, where allowed, its owner.
[[nodiscard]] bool adoptAccess(const QString &replacement, const QString &target);

} // namespace velvane
