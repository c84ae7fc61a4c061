#include "core/split/piecemove.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace velvane {

namespace {

// Far more than any real folder holds; only bounds the loop when every move fails for another reason.
constexpr int maxAttempts = 10000;

bool somethingAt(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

} // namespace

QString outputPathCandidate(const QString &folder, const QString &name, int attempt)
{
    QString fileName = name;
    if (attempt > 1) {
        const QString mark = u" ("_s % QString::number(attempt) % u')';
        // A leading dot marks a hidden file, not an extension.
        const qsizetype dot = name.lastIndexOf(u'.');
        if (dot > 0)
            fileName.insert(dot, mark);
        else
            fileName.append(mark);
    }
    return QDir(folder).filePath(fileName);
}

QString freeOutputPath(const QString &folder, const QString &name)
{
    for (int attempt = 1; attempt <= maxAttempts; ++attempt) {
        const QString path = outputPathCandidate(folder, name, attempt);
        if (!somethingAt(path))
            return path;
    }
    return {};
}

PieceMove movePiece(const QString &piece, const QString &folder, const QString &name)
{
    if (!QFileInfo::exists(piece))
        return {false, {}, u"There is no piece to move."_s};

    QString lastError;
    for (int attempt = 1; attempt <= maxAttempts; ++attempt) {
        const QString path = outputPathCandidate(folder, name, attempt);
        if (somethingAt(path))
            continue;
        QFile file(piece);
        // QFile::rename refuses an existing target (renameat2 with RENAME_NOREPLACE on Linux), so a name taken
        // since the look above is not overwritten either.
        if (file.rename(path))
            return {true, path, {}};
        if (!somethingAt(path))
            return {false,
                    {},
                    u"Could not move the piece to \""_s % QFileInfo(path).fileName() % u"\": "_s % file.errorString()};
        lastError = file.errorString();
    }
    return {false, {}, u"No free name for \""_s % name % u"\": "_s % lastError};
}

} // namespace velvane
