#pragma once

#include <QString>

#include <functional>

namespace velvane {

struct PieceMove
{
    bool ok = false;
    QString path;   // where the piece now is, when ok
    QString reason; // why not, when not ok
    int error = 0;  // the errno of the last attempt, when not ok
};

// The name for an attempt (1, 2, …) within a limit in bytes.
using NameCandidate = std::function<QString(int attempt, int maxBytes)>;

// Moves piece into folder under the first name that is free at the moment of the move, never replacing
// anything: a name taken between any look and the move itself just sends the piece on to the next candidate.
// beforeAttempt, when given, is called with each path just before the move is tried.
[[nodiscard]] PieceMove movePiece(const QString &piece, const QString &folder, const NameCandidate &candidate,
                                  const std::function<void(const QString &)> &beforeAttempt = {});

} // namespace velvane
