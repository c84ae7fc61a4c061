#include "support/folderhashes.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>

namespace velvane::test {

QMap<QString, QByteArray> folderHashes(const QString &folder)
{
    QMap<QString, QByteArray> hashes;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        QCryptographicHash hash(QCryptographicHash::Sha256);
        if (it.fileInfo().isFile() && file.open(QIODevice::ReadOnly))
            hash.addData(&file);
        hashes.insert(QDir(folder).relativeFilePath(path),
                      it.fileInfo().isDir() ? QByteArrayLiteral("folder") : hash.result().toHex());
    }
    return hashes;
}

} // namespace velvane::test
