#pragma once

#include <QString>

namespace velvane {

// folder/name for attempt 1; for attempt k > 1 the name gets " (k)" before its extension.
[[nodiscard]] QString outputPathCandidate(const QString &folder, const QString &name, int attempt);

// The first candidate that nothing stands at, not even a dangling link.
[[nodiscard]] QString freeOutputPath(const QString &folder, const QString &name);

struct PieceMove
{
    bool ok = false;
    QString path;   // where the piece now is, when ok
    QString reason; // why not, when not ok
};

// Moves piece to the first free candidate for name in folder. Never replaces a file: a name taken between the
// look and the move just sends the piece on to the next candidate.
[[nodiscard]] PieceMove movePiece(const QString &piece, const QString &folder, const QString &name);

} // namespace velvane
