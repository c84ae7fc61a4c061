#include "core/startup/installplan.h"

#include <QFileInfo>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace velvane {

namespace {

// The command is shown for pasting into a shell, and a build folder's path may hold anything.
QString shellWord(const QString &word)
{
    static const QRegularExpression plain(u"^[A-Za-z0-9_./+-]+$"_s);
    if (plain.match(word).hasMatch())
        return word;
    return u'\'' + QString(word).replace(u"'"_s, u"'\\''"_s) + u'\'';
}

} // namespace

QList<PrivilegedCommand> installCommands(const QString &localFolder)
{
    // Timestamps only: "-p" would also hand the existing /usr/local and /usr/local/bin to the owner and modes of
    // the source folder, which for a build tree is an ordinary user. Only GNU cp can keep timestamps alone; the
    // BSD cp of macOS cannot, so there the copies take the time of the install.
#ifdef Q_OS_LINUX
    const QStringList copyOptions{u"-f"_s, u"--preserve=timestamps"_s, u"-R"_s};
#else
    const QStringList copyOptions{u"-f"_s, u"-R"_s};
#endif
    return {
        {u"/bin/mkdir"_s, {u"-p"_s, u"/usr"_s}},
        {u"/bin/mkdir"_s, {u"-p"_s, u"/usr/local"_s}},
        {u"/bin/cp"_s, copyOptions + QStringList{localFolder, u"/usr/"_s}},
    };
}

QString manualInstallCommand(const QString &localFolder)
{
    const QFileInfo splitter(localFolder + u"/bin/mp3splt"_s);
    if (splitter.isSymLink())
        return u"ln -s "_s + shellWord(splitter.symLinkTarget()) + u" /usr/local/bin/mp3splt"_s;
    return u"cp -R "_s + shellWord(localFolder) + u" /usr/"_s;
}

QString splitterFromPackageCommand(const QString &localFolder)
{
    const QFileInfo splitter(localFolder + u"/bin/mp3splt"_s);
    const QString target = splitter.isSymLink() ? splitter.symLinkTarget() : u"/usr/bin/mp3splt"_s;
    return u"apt-get install mp3splt && ln -s "_s + shellWord(target) + u" /usr/local/bin/mp3splt"_s;
}

} // namespace velvane
