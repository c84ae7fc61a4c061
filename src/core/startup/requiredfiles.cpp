#include "core/startup/requiredfiles.h"

#include "core/platform/splitterlocation.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace velvane {

namespace {

const QString usrLocal = u"/usr/local"_s;

QString underRoot(const QString &root, const QString &path)
{
    if (root.isEmpty() || root == "/"_L1)
        return path;
    return QDir::cleanPath(root + u'/' + path);
}

template <typename Locate> ToolCheck checkEach(const QStringList &paths, Locate locate)
{
    ToolCheck check;
    for (const QString &path : paths) {
        ++check.tested;
        // QFileInfo::exists follows links, which is what makes a dangling link count as missing.
        if (!QFileInfo::exists(locate(path))) {
            check.missing = path;
            return check;
        }
    }
    check.present = true;
    return check;
}

} // namespace

QStringList macRequiredFiles()
{
    QStringList paths{u"/usr/local/bin/mp3splt"_s};
    // Each library comes as the fully versioned dylib, the major-version dylib, the archive, the plain dylib
    // and the libtool file.
    const struct
    {
        const char16_t *name;
        const char16_t *full;
        const char16_t *major;
    } libraries[] = {
        {u"libmad", u"0.2.1", u"0"},       {u"libogg", u"0.5.0", u"0"},        {u"libvorbis", u"0.3.0", u"0"},
        {u"libvorbisenc", u"2.0.0", u"2"}, {u"libvorbisfile", u"3.1.0", u"3"},
    };
    for (const auto &library : libraries) {
        const QString base = u"/usr/local/lib/"_s + QString::fromUtf16(library.name);
        paths << base + u'.' + QString::fromUtf16(library.full) + u".dylib"_s
              << base + u'.' + QString::fromUtf16(library.major) + u".dylib"_s << base + u".a"_s << base + u".dylib"_s
              << base + u".la"_s;
    }
    return paths;
}

QStringList linuxRequiredFiles()
{
    // The distribution provides the decoders; only the splitter has to sit where the split looks for it.
    return {installedSplitterPath()};
}

QStringList requiredFiles()
{
#ifdef Q_OS_MACOS
    return macRequiredFiles();
#else
    return linuxRequiredFiles();
#endif
}

ToolCheck checkRequiredFiles(const QStringList &paths, const QString &root)
{
    return checkEach(paths, [&root](const QString &path) { return underRoot(root, path); });
}

ToolCheck checkInstallSource(const QStringList &paths, const QString &localFolder)
{
    return checkEach(paths, [&localFolder](const QString &path) {
        if (path != usrLocal && !path.startsWith(usrLocal + u'/'))
            return QString();
        return QDir::cleanPath(localFolder + u'/' + path.mid(usrLocal.size()));
    });
}

} // namespace velvane
