#include "cli/commands.h"

#include "core/encoding/encodingcatalog.h"

#include <cstdio>

void printUsage(FILE *stream)
{
    std::fputs("usage: velvane-split --tracks FILE.cue [--encoding NAME]\n"
               "       velvane-split FILE.cue [--dest DIR] [--audio FILE] [--numbered] [--tags]\n"
               "                     [--genre NAME] [--year N] [--album TEXT] [--stall-timeout SECONDS]\n"
               "                     [--encoding NAME] [--cover FILE | --no-cover]\n"
               "       velvane-split -h | --help\n",
               stream);
}

QString unknownEncodingMessage(const QString &name)
{
    QStringList known;
    for (const velvane::TextEncoding &encoding : velvane::textEncodings())
        known.append(QString(encoding.name));
    return QStringLiteral("Unknown encoding \"%1\"; known are %2.").arg(name, known.join(QStringLiteral(", ")));
}
