#include "cli/commands.h"
#include "cli/jsonwriter.h"

#include "core/cue/embeddedsheet.h"

#include <QFileInfo>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

// The keys a read writes come first, in the order a reader expects; keys the table added follow.
QByteArray trackJson(const velvane::TrackEntry &track)
{
    static const QStringList leading{u"title"_s, u"performer"_s, u"index"_s, u"file"_s};
    QByteArrayList members;
    for (const QString &key : leading) {
        if (const auto it = track.constFind(key); it != track.cend())
            members.append(jsonString(key) + ": " + jsonString(*it));
    }
    for (auto it = track.cbegin(); it != track.cend(); ++it) {
        if (!leading.contains(it.key()))
            members.append(jsonString(it.key()) + ": " + jsonString(it.value()));
    }
    return '{' + members.join(", ") + '}';
}

QByteArray readingJson(const velvane::CueReading &reading)
{
    QByteArrayList tracks;
    for (const velvane::TrackEntry &track : reading.tracks)
        tracks.append(trackJson(track));
    QByteArrayList found;
    for (const velvane::FileFoundBeside &file : reading.filesFoundBeside)
        found.append("{\"written\": " + jsonString(file.written) + ", \"taken\": " + jsonString(file.taken) + '}');
    const QByteArray audio = reading.audio ? jsonString(reading.audio->path) : QByteArrayLiteral("null");
    const bool isOgg = reading.audio && reading.audio->format == velvane::AudioFormat::Ogg;
    return "{\"destination\": " + jsonString(reading.destination) + ", \"album\": " + jsonString(reading.album) +
           ", \"audio\": " + audio + ", \"isOgg\": " + jsonBool(isOgg) +
           ", \"encoding\": " + jsonString(reading.encoding) + ",\n \"tracks\": [" + tracks.join(",\n  ") +
           "],\n \"foundBesideSheet\": [" + found.join(", ") + "]}\n";
}

void printError(const QString &message)
{
    std::fputs((u"velvane-split: "_s + message + u'\n').toUtf8().constData(), stderr);
}

} // namespace

int runTracksCommand(const QStringList &args)
{
    QStringList paths;
    std::optional<QString> encodingName;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (!optionsEnded && arg == u"--"_s) {
            optionsEnded = true;
        } else if (!optionsEnded && arg == u"--encoding"_s && i + 1 < args.size()) {
            encodingName = args[++i];
        } else if (!optionsEnded && arg.startsWith(u"--encoding="_s)) {
            encodingName = arg.sliced(11);
        } else if (!optionsEnded && arg.size() > 1 && arg.startsWith(u'-')) {
            printUsage();
            return 2;
        } else {
            paths.append(arg);
        }
    }
    if (paths.size() != 1 || paths.constFirst().isEmpty()) {
        printUsage();
        return 2;
    }

    const velvane::TextEncoding *encoding = encodingName ? velvane::findTextEncoding(*encodingName) : nullptr;
    if (encodingName && !encoding) {
        printError(unknownEncodingMessage(*encodingName));
        return 2;
    }

    const QString path = QFileInfo(paths.constFirst()).absoluteFilePath();
    const velvane::CueReading reading = velvane::readSheetAt(path, encoding);
    if (!reading.error.isEmpty()) {
        printError(path + u": "_s + reading.error);
        return 2;
    }

    const QByteArray json = readingJson(reading);
    if (std::fwrite(json.constData(), 1, size_t(json.size()), stdout) != size_t(json.size()) ||
        std::fflush(stdout) != 0) {
        printError(u"cannot write to standard output"_s);
        return 1;
    }
    return 0;
}
