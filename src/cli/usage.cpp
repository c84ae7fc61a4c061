#include "cli/commands.h"

#include "core/encoding/encodingcatalog.h"

#include <cstdio>

void printUsage(FILE *stream)
{
    std::fputs("usage: velvane-split --tracks FILE.cue|FILE.flac [--encoding NAME]\n"
               "       velvane-split FILE.cue|FILE.flac [--dest DIR] [--audio FILE] [--numbered] [--tags]\n"
               "                     [--flac] [--genre NAME] [--year N] [--album TEXT]\n"
               "                     [--stall-timeout SECONDS] [--encoding NAME] [--cover FILE | --no-cover]\n"
               "       velvane-split -h | --help\n"
               "Cuts MP3, Ogg Vorbis, FLAC and WAV albums; --flac saves a WAV album's tracks as FLAC.\n",
               stream);
}

QString unknownEncodingMessage(const QString &name)
{
    QStringList known;
    for (const velvane::TextEncoding &encoding : velvane::textEncodings())
        known.append(QString(encoding.name));
    return QStringLiteral("Unknown encoding \"%1\"; known are %2.").arg(name, known.join(QStringLiteral(", ")));
}
