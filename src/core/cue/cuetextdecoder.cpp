#include "core/cue/cuetextdecoder.h"

#include "core/cue/cuelogging.h"
#include "core/encoding/bytedecoding.h"
#include "core/encoding/encodingdecision.h"

using namespace Qt::StringLiterals;

namespace velvane {

namespace {

DecodedCueText unicodeText(QByteArrayView bytes, const TextEncoding &encoding)
{
    return {decodedLeniently(bytes, encoding), QString(encoding.name), {}};
}

} // namespace

DecodedCueText decodeCueText(const QByteArray &bytes)
{
    if (bytes.startsWith("\xFE\xFF"))
        return unicodeText(bytes, *findTextEncoding(u"UTF-16BE"));
    if (bytes.startsWith("\xFF\xFE"))
        return unicodeText(bytes, *findTextEncoding(u"UTF-16LE"));

    // A kept UTF-8 BOM would stand in front of the first keyword and hide it.
    QByteArrayView body(bytes);
    if (body.startsWith("\xEF\xBB\xBF"))
        body = body.sliced(3);
    if (std::optional<QString> text = decodedStrictly(body, utf8Encoding()))
        return {*text, QString(utf8Encoding().name), {}};

    const LegacyReading reading = readLegacyText(body);
    qCDebug(lcCue) << "not UTF-8; read as" << reading.encoding->name;
    QStringList candidates;
    for (const TextEncoding *candidate : reading.candidates)
        candidates.append(QString(candidate->name));
    return {reading.text, QString(reading.encoding->name), candidates};
}

DecodedCueText decodeCueTextAs(const QByteArray &bytes, const TextEncoding &encoding)
{
    return {decodedLeniently(bytes, encoding), QString(encoding.name), {}};
}

QString decodeCueSheet(const QByteArray &bytes)
{
    return decodeCueText(bytes).text;
}

} // namespace velvane
