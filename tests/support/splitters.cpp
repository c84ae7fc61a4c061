#include "support/splitters.h"

#include "support/files.h"

#include <QDir>
#include <QFile>
#include <QProcess>

using namespace Qt::StringLiterals;

namespace velvane::test {

ToolRun runTool(const QString &program, const QStringList &arguments, const QString &folder, const QString &splitter)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    if (!splitter.isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"VELVANE_MP3SPLT"_s, splitter);
        process.setProcessEnvironment(environment);
    }
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

QString standInSplitter(const QString &folder, QByteArray code)
{
    const QByteArray real = '"' + qgetenv("VELVANE_MP3SPLT") + "\" \"$@\"";
    code.replace("EACH_PIECE", QByteArray(real + " | while IFS= read -r line; do case $line in *created*) "
                                                 "f=${line#*\\\"}; f=${f%%\\\"*};"));
    code.replace("END_EACH", ";; esac; printf '%s\\n' \"$line\"; done");
    code.replace("REAL", real);
    const QString path = QDir(folder).filePath(u"splitter"_s);
    if (!writeFile(path, "#!/bin/sh\n" + code + '\n') ||
        !QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        return {};
    return path;
}

SplitterOverride::SplitterOverride(const QString &program)
    : m_saved(qgetenv("VELVANE_MP3SPLT"))
{
    qputenv("VELVANE_MP3SPLT", QFile::encodeName(program));
}

SplitterOverride::~SplitterOverride()
{
    qputenv("VELVANE_MP3SPLT", m_saved);
}

} // namespace velvane::test
