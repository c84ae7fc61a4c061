#include "core/cover/coverfile.h"

#include "core/cover/imagedecode.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace velvane {

namespace {

QString sizeProblem()
{
    return u"it is larger than %1 MB"_s.arg(coverSizeLimit >> 20);
}

// A JPEG cut short still decodes, the missing part drawn grey, so its end marker is looked for after the first
// scan; bytes after it, which some cameras and editors add, do no harm.
bool jpegIsWhole(const QByteArray &bytes)
{
    const qsizetype scan = bytes.indexOf("\xFF\xDA");
    return scan >= 0 && bytes.lastIndexOf("\xFF\xD9") > scan;
}

} // namespace

CoverReading coverFromBytes(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return {std::nullopt, u"it is empty"_s};
    if (bytes.size() > coverSizeLimit)
        return {std::nullopt, sizeProblem()};
    const bool jpeg = bytes.startsWith("\xFF\xD8\xFF");
    if (!jpeg && !bytes.startsWith("\x89PNG\r\n\x1A\n"))
        return {std::nullopt, u"it is not a JPEG or PNG image"_s};
    if (jpeg && !jpegIsWhole(bytes))
        return {std::nullopt, u"it is a JPEG image cut short"_s};
    const DecodedImage decoded = jpeg ? decodeJpeg(bytes) : decodePng(bytes);
    if (!decoded.error.isEmpty() || decoded.width <= 0 || decoded.height <= 0)
        return {std::nullopt, u"it does not decode as an image (%1)"_s.arg(decoded.error)};
    return {CoverImage{bytes, jpeg ? u"image/jpeg"_s : u"image/png"_s, decoded.width, decoded.height}, {}};
}

CoverReading readCoverFile(const QString &path)
{
    // A FIFO would block the open and a device would never end; a symbolic link loop is no file at all.
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return {std::nullopt, u"it is not there"_s};
    if (!info.isFile())
        return {std::nullopt, u"it is not a regular file"_s};
    if (info.size() > coverSizeLimit)
        return {std::nullopt, sizeProblem()};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {std::nullopt, u"it cannot be read (%1)"_s.arg(file.errorString())};
    const QByteArray bytes = file.read(coverSizeLimit + 1);
    if (file.error() != QFileDevice::NoError)
        return {std::nullopt, u"it cannot be read (%1)"_s.arg(file.errorString())};
    return coverFromBytes(bytes);
}

QString coverRefusal(const QString &source, const QString &problem, bool inTags)
{
    const QString sentence =
        inTags ? u"The picture in “%1” is not embedded: %2."_s : u"The cover “%1” is not embedded: %2."_s;
    return sentence.arg(QDir::toNativeSeparators(source), problem);
}

} // namespace velvane
