#include "core/cover/coversearch.h"

#include "components/tags/embeddedpicture.h"
#include "core/cover/coverfile.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

using namespace Qt::StringLiterals;

namespace velvane {

namespace {

// Every entry of folder by its name in lower case, hidden ones, broken links and FIFOs included.
QHash<QString, QString> entriesByLowerName(const QString &folder)
{
    QHash<QString, QString> entries;
    const QDir dir(folder);
    const QStringList names =
        dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &name : names)
        entries.insert(name.toLower(), dir.filePath(name));
    return entries;
}

} // namespace

QStringList coverFilesBeside(const QString &albumFile)
{
    const QFileInfo album(albumFile);
    QStringList stems{u"cover"_s, u"folder"_s, u"front"_s, u"album"_s};
    const QString ownName = album.completeBaseName().toLower();
    if (!ownName.isEmpty() && !stems.contains(ownName))
        stems.append(ownName);
    static const QStringList extensions{u".jpg"_s, u".jpeg"_s, u".png"_s};

    QList<QHash<QString, QString>> folders{entriesByLowerName(album.absolutePath())};
    for (const QString &sub : {u"scans"_s, u"artwork"_s}) {
        const QString path = folders.constFirst().value(sub);
        // A link to the folder itself or above is listed once, one level down, and never followed further.
        if (!path.isEmpty() && QFileInfo(path).isDir())
            folders.append(entriesByLowerName(path));
    }

    QStringList found;
    for (const QHash<QString, QString> &entries : std::as_const(folders)) {
        for (const QString &stem : std::as_const(stems)) {
            for (const QString &extension : extensions) {
                const QString path = entries.value(stem + extension);
                if (!path.isEmpty())
                    found.append(path);
            }
        }
    }
    return found;
}

CoverSearch findAlbumCover(const QString &albumFile)
{
    CoverSearch search;
    const auto refuse = [&search](const QString &source, const QString &problem, bool inTags = false) {
        if (search.refusal.isEmpty())
            search.refusal = coverRefusal(QFileInfo(source).fileName(), problem, inTags);
    };
    for (const QString &path : coverFilesBeside(albumFile)) {
        // A folder of that name is nobody's cover and not worth a word.
        if (QFileInfo(path).isDir())
            continue;
        CoverReading reading = readCoverFile(path);
        if (reading.image) {
            search.image = std::move(reading.image);
            search.source = path;
            return search;
        }
        refuse(path, reading.problem);
    }
    const QByteArray embedded = embeddedPicture(albumFile);
    if (embedded.isEmpty())
        return search;
    CoverReading reading = coverFromBytes(embedded);
    if (reading.image) {
        search.image = std::move(reading.image);
        search.source = albumFile;
    } else {
        refuse(albumFile, reading.problem, true);
    }
    return search;
}

} // namespace velvane
