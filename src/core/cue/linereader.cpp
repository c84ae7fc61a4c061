#include "core/cue/linereader.h"

#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace velvane {

namespace {

// The white-space-and-newline class, spelled out rather than taken from QChar::category() so that a newer
// Unicode table cannot quietly change which lines a sheet yields.
bool isSkippedBeforeLine(char16_t c)
{
    switch (c) {
    case 0x0009:
    case 0x000A:
    case 0x000B:
    case 0x000C:
    case 0x000D:
    case 0x0020:
    case 0x0085:
    case 0x00A0:
    case 0x1680:
    case 0x202F:
    case 0x205F:
    case 0x3000:
    case 0x2028:
    case 0x2029:
        return true;
    default:
        return c >= 0x2000 && c <= 0x200A;
    }
}

bool endsLine(char16_t c)
{
    return c == u'\n' || c == u'\r';
}

} // namespace

QStringList linesInText(const QString &text)
{
    QStringList lines;
    const qsizetype size = text.size();
    qsizetype pos = 0;
    for (;;) {
        while (pos < size && isSkippedBeforeLine(text.at(pos).unicode()))
            ++pos;
        if (pos == size)
            break;
        // Only LF and CR end a line: a form feed or a vertical tab inside one stays in it.
        qsizetype end = pos;
        while (end < size && !endsLine(text.at(end).unicode()))
            ++end;
        lines.append(text.sliced(pos, end - pos));
        pos = end;
    }
    return lines;
}

CueFileBytes readCueFileBytes(const QString &path)
{
    // A FIFO would block the open and a device would never end, and an album taken for its sheet would cost
    // seconds and hundreds of megabytes: none of them is a sheet.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return {{}, u"Not a regular file"_s};
    if (info.size() > cueSheetSizeLimit)
        return {{}, u"Too large for a cue sheet (over %1 MB)"_s.arg(cueSheetSizeLimit >> 20)};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {{}, file.errorString()};
    QByteArray bytes = file.read(cueSheetSizeLimit + 1);
    if (file.error() != QFileDevice::NoError)
        return {{}, file.errorString()};
    if (bytes.size() > cueSheetSizeLimit)
        return {{}, u"Too large for a cue sheet (over %1 MB)"_s.arg(cueSheetSizeLimit >> 20)};
    return {bytes, {}};
}

} // namespace velvane
