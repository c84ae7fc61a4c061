#include "core/split/workfolder.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace velvane {

WorkFolder::WorkFolder(const QString &destination)
{
    QTemporaryDir folder(QDir(destination).filePath(u".velvane-split-XXXXXX"_s));
    folder.setAutoRemove(false);
    if (folder.isValid())
        m_path = folder.path();
    else
        m_problem = u"Could not make a temporary folder in the destination: "_s % folder.errorString();
}

WorkFolder::~WorkFolder()
{
    clear();
}

QString WorkFolder::newRunFolder()
{
    const QString run = QDir(m_path).filePath(u"run-"_s % QString::number(++m_runs));
    return QDir().mkdir(run) ? run : QString();
}

void WorkFolder::keep(const QString &piece)
{
    m_kept.insert(QFileInfo(piece).absoluteFilePath());
}

bool WorkFolder::clear()
{
    if (m_path.isEmpty())
        return true;
    // Deepest first, so each folder is empty by the time it is removed; kept pieces hold their folders.
    QStringList folders;
    QDirIterator it(m_path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo entry(it.next());
        if (entry.isDir() && !entry.isSymLink())
            folders.prepend(entry.absoluteFilePath());
        else if (!m_kept.contains(entry.absoluteFilePath()))
            QFile::remove(entry.absoluteFilePath());
    }
    for (const QString &folder : std::as_const(folders))
        QDir().rmdir(folder);
    if (!QDir().rmdir(m_path))
        return false;
    m_path.clear();
    return true;
}

} // namespace velvane
