#include "support/files.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>

namespace velvane::test {

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QMap<QString, QByteArray> folderHashes(const QString &folder)
{
    QMap<QString, QByteArray> hashes;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        hashes.insert(QDir(folder).relativeFilePath(path),
                      it.fileInfo().isDir()
                          ? QByteArrayLiteral("folder")
                          : QCryptographicHash::hash(readFile(path), QCryptographicHash::Sha256).toHex());
    }
    return hashes;
}

} // namespace velvane::test
