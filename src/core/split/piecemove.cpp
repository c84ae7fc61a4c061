#include "core/split/piecemove.h"

#include "core/platform/filemoves.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>

using namespace Qt::StringLiterals;

namespace velvane {

namespace {

// Far more than any real folder holds; only bounds the loop.
constexpr int maxAttempts = 10000;

} // namespace

PieceMove movePiece(const QString &piece, const QString &folder, const NameCandidate &candidate,
                    const std::function<void(const QString &)> &beforeAttempt)
{
    const int limit = fileNameLimit(folder);
    QString name;
    for (int attempt = 1; attempt <= maxAttempts; ++attempt) {
        name = candidate(attempt, limit);
        const QString path = QDir(folder).filePath(name);
        if (beforeAttempt)
            beforeAttempt(path);
        const int error = moveWithoutReplacing(piece, path);
        if (error == 0)
            return {true, path, {}, 0};
        if (error != EEXIST)
            return {false, {}, u"Could not give the piece the name \""_s % name % u"\": "_s % errorText(error), error};
    }
    return {false, {}, u"No free name for \""_s % name % u"\"."_s, EEXIST};
}

} // namespace velvane
