#include "core/lossless/wavimage.h"

#include <QtEndian>

using namespace Qt::StringLiterals;

namespace velvane {

namespace {

constexpr quint16 formatPcm = 0x0001;
constexpr quint16 formatExtensible = 0xfffe;

quint32 le32(const char *p)
{
    return qFromLittleEndian<quint32>(p);
}

quint16 le16(const char *p)
{
    return qFromLittleEndian<quint16>(p);
}

void appendLe32(QByteArray &bytes, quint32 value)
{
    char raw[4];
    qToLittleEndian(value, raw);
    bytes.append(raw, 4);
}

// Empty when the fmt chunk describes audio that is cut here.
QString fmtProblem(const QByteArray &fmt, WavImage &image)
{
    if (fmt.size() < 16)
        return u"Its format chunk is too short."_s;
    const char *p = fmt.constData();
    quint16 tag = le16(p);
    image.channels = le16(p + 2);
    image.sampleRate = int(le32(p + 4));
    image.blockAlign = le16(p + 12);
    image.bitsPerSample = le16(p + 14);
    // The extensible form names the real format in the first two bytes of its sub-format GUID.
    if (tag == formatExtensible) {
        if (fmt.size() < 40)
            return u"Its extensible format chunk is too short."_s;
        tag = le16(p + 24);
    }
    if (tag != formatPcm)
        return u"It holds compressed or floating-point audio, not integer PCM."_s;
    if (image.bitsPerSample != 16 && image.bitsPerSample != 24)
        return QString::number(image.bitsPerSample) % u"-bit audio is not cut; 16 and 24 bits are."_s;
    if (image.channels < 1 || image.channels > 8 || image.sampleRate <= 0 ||
        image.blockAlign != image.channels * image.bitsPerSample / 8)
        return u"Its format chunk does not add up."_s;
    return {};
}

} // namespace

std::variant<WavImage, QString> readWavImage(QIODevice &file)
{
    const qint64 fileSize = file.size();
    if (!file.seek(0))
        return file.errorString();
    const QByteArray riff = file.read(12);
    if (riff.size() < 12 || !riff.startsWith("RIFF") || riff.mid(8, 4) != "WAVE")
        return u"It is not a RIFF/WAVE file."_s;

    WavImage image;
    bool haveFmt = false;
    qint64 at = 12;
    while (at + 8 <= fileSize) {
        if (!file.seek(at))
            return file.errorString();
        const QByteArray head = file.read(8);
        if (head.size() < 8)
            break;
        const qint64 size = le32(head.constData() + 4);
        const qint64 body = at + 8;
        if (head.startsWith("fmt ")) {
            image.fmt = file.read(std::min<qint64>(size, 1024));
            if (const QString problem = fmtProblem(image.fmt, image); !problem.isEmpty())
                return problem;
            haveFmt = true;
        } else if (head.startsWith("data")) {
            if (!haveFmt)
                return u"Its audio comes before its format chunk."_s;
            image.dataOffset = body;
            // Rippers that stream write 0 or 0xFFFFFFFF and never come back to it; a cut-off file holds less than
            // it says. Either way the audio runs to the end of what is there.
            const qint64 there = fileSize - body;
            const qint64 said = size == 0 || size == 0xffffffff ? there : std::min(size, there);
            image.dataBytes = said - said % image.blockAlign;
            return image;
        }
        // Chunks are padded to an even length; the pad byte is not counted in their size.
        at = body + size + (size & 1);
    }
    return haveFmt ? u"It holds no audio chunk."_s : u"It has no format chunk."_s;
}

QByteArray wavHeader(const WavImage &image, qint64 dataBytes)
{
    const qint64 fmtBytes = image.fmt.size() + (image.fmt.size() & 1);
    QByteArray header;
    header.reserve(int(20 + fmtBytes + 8));
    header.append("RIFF");
    appendLe32(header, quint32(4 + 8 + fmtBytes + 8 + dataBytes + (dataBytes & 1)));
    header.append("WAVEfmt ");
    appendLe32(header, quint32(image.fmt.size()));
    header.append(image.fmt);
    if (image.fmt.size() & 1)
        header.append('\0');
    header.append("data");
    appendLe32(header, quint32(dataBytes));
    return header;
}

qint64 wavDataLimit(qint64 headerBytes)
{
    // The RIFF size counts everything after its own 8 bytes, the pad byte included.
    return 0xffffffffLL - (headerBytes - 8) - 1;
}

} // namespace velvane
