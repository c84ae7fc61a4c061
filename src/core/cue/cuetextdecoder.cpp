#include "core/cue/cuelogging.h"
#include "core/cue/cuereading.h"

#include <QStringDecoder>

#include <uchardet/uchardet.h>

#include <array>
#include <cerrno>
#include <iconv.h>
#include <memory>

using namespace Qt::StringLiterals;

namespace velvane {

namespace {

constexpr char16_t replacementCharacter = 0xFFFD;

// A decoder that keeps an initial BOM as a character: the caller has already dropped the one BOM it honours.
QString decodedExactly(QByteArrayView bytes, QStringConverter::Encoding encoding, bool *hadError = nullptr)
{
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (hadError)
        *hadError = decoder.hasError();
    return text;
}

// Windows-1252 by hand, so that the last resort never fails: the five bytes the code page leaves undefined
// map to the C1 controls of the same value, as Windows itself maps them.
QString decodedWindows1252(QByteArrayView bytes)
{
    static constexpr std::array<char16_t, 32> high{
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    QString text;
    text.reserve(bytes.size());
    for (const char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        text.append(QChar(b >= 0x80 && b < 0xA0 ? high[b - 0x80] : char16_t(b)));
    }
    return text;
}

struct IconvCloser
{
    void operator()(iconv_t cd) const { iconv_close(cd); }
};
using IconvHandle = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

// Bytes iconv cannot convert become U+FFFD one at a time, so one bad byte does not cost the rest of the sheet.
std::optional<QString> decodedWithIconv(QByteArrayView bytes, const char *charset)
{
    const iconv_t opened = iconv_open("UTF-8", charset);
    if (opened == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    const IconvHandle cd(opened);

    QByteArray utf8;
    std::array<char, 4096> buffer;
    char *in = const_cast<char *>(bytes.data());
    size_t inLeft = size_t(bytes.size());
    const QByteArray replacement = QString(QChar(replacementCharacter)).toUtf8();
    while (inLeft > 0) {
        char *out = buffer.data();
        size_t outLeft = buffer.size();
        const size_t result = iconv(cd.get(), &in, &inLeft, &out, &outLeft);
        const int error = errno;
        utf8.append(buffer.data(), qsizetype(buffer.size() - outLeft));
        if (result != size_t(-1) || error == E2BIG)
            continue;
        utf8.append(replacement);
        if (error == EINVAL)
            break; // a sequence cut short by the end of the file
        ++in;
        --inLeft;
        iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
    }
    return QString::fromUtf8(utf8);
}

QByteArray detectedCharset(QByteArrayView bytes)
{
    const std::unique_ptr<uchardet, decltype(&uchardet_delete)> detector(uchardet_new(), &uchardet_delete);
    if (uchardet_handle_data(detector.get(), bytes.data(), size_t(bytes.size())) != 0)
        return {};
    uchardet_data_end(detector.get());
    return QByteArray(uchardet_get_charset(detector.get())).toUpper();
}

QString decodedLegacy(QByteArrayView bytes)
{
    const QByteArray charset = detectedCharset(bytes);
    qCDebug(lcCue) << "not UTF-8; detected charset" << charset;
    // ISO-8859-1 differs from Windows-1252 only in 0x80-0x9F, where it has C1 controls that no real sheet
    // holds; those bytes are the curly quotes and dashes the detector overlooked.
    if (charset.isEmpty() || charset == "WINDOWS-1252" || charset == "ISO-8859-1" || charset == "ASCII")
        return decodedWindows1252(bytes);
    if (std::optional<QString> text = decodedWithIconv(bytes, charset.constData()))
        return *text;
    qCDebug(lcCue) << "no converter for" << charset << "- reading the sheet as Windows-1252";
    return decodedWindows1252(bytes);
}

} // namespace

QString decodeCueSheet(const QByteArray &bytes)
{
    if (bytes.startsWith("\xFE\xFF"))
        return decodedExactly(QByteArrayView(bytes).sliced(2), QStringConverter::Utf16BE);
    if (bytes.startsWith("\xFF\xFE"))
        return decodedExactly(QByteArrayView(bytes).sliced(2), QStringConverter::Utf16LE);

    // A kept UTF-8 BOM would stand in front of the first keyword and hide it.
    QByteArrayView body(bytes);
    if (body.startsWith("\xEF\xBB\xBF"))
        body = body.sliced(3);

    bool invalid = false;
    QString text = decodedExactly(body, QStringConverter::Utf8, &invalid);
    if (!invalid)
        return text;
    return decodedLegacy(body);
}

} // namespace velvane
