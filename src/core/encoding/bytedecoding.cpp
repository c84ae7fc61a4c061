#include "core/encoding/bytedecoding.h"

#include <QStringDecoder>

#include <array>
#include <cerrno>
#include <iconv.h>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace velvane {

namespace {

constexpr char16_t replacementCharacter = 0xFFFD;

// The five bytes Windows-1252 leaves undefined map to the C1 controls of the same value, as Windows itself
// maps them; a strict reading refuses them.
constexpr std::array<char16_t, 32> windows1252High{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

std::optional<QString> decodedWindows1252(QByteArrayView bytes, bool strict)
{
    QString text;
    text.reserve(bytes.size());
    for (const char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        const char16_t c = b >= 0x80 && b < 0xA0 ? windows1252High[b - 0x80] : char16_t(b);
        if (strict && c >= 0x80 && c < 0xA0)
            return std::nullopt;
        text.append(QChar(c));
    }
    return text;
}

// Keeps a BOM inside the text as a character: only the caller knows whether one at the start counts.
std::optional<QString> decodedUnicode(QByteArrayView bytes, QStringConverter::Encoding encoding, bool strict)
{
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (strict && decoder.hasError())
        return std::nullopt;
    return text;
}

struct IconvCloser
{
    void operator()(iconv_t cd) const { iconv_close(cd); }
};
using IconvHandle = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

// Opening a converter loads its module and closing it unloads it again, which costs more than converting a
// sheet; detection tries thirty of them on every sheet, so each thread keeps its converters open.
iconv_t utf8Converter(const char *charset)
{
    thread_local std::map<std::string, IconvHandle, std::less<>> open;
    auto known = open.find(std::string_view(charset));
    if (known == open.end()) {
        const iconv_t opened = iconv_open("UTF-8", charset);
        if (opened == reinterpret_cast<iconv_t>(-1))
            return opened;
        known = open.emplace(charset, IconvHandle(opened)).first;
    }
    iconv(known->second.get(), nullptr, nullptr, nullptr, nullptr); // back to the initial state
    return known->second.get();
}

// Leniently, a byte iconv cannot convert becomes U+FFFD on its own, so one bad byte does not cost the rest.
std::optional<QString> decodedWithIconv(QByteArrayView bytes, const char *charset, bool strict)
{
    const iconv_t cd = utf8Converter(charset);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;

    QByteArray utf8;
    std::array<char, 4096> buffer;
    char *in = const_cast<char *>(bytes.data());
    size_t inLeft = size_t(bytes.size());
    const QByteArray replacement = QString(QChar(replacementCharacter)).toUtf8();
    while (inLeft > 0) {
        char *out = buffer.data();
        size_t outLeft = buffer.size();
        const size_t result = iconv(cd, &in, &inLeft, &out, &outLeft);
        const int error = errno;
        utf8.append(buffer.data(), qsizetype(buffer.size() - outLeft));
        if (result != size_t(-1) || error == E2BIG)
            continue;
        if (strict)
            return std::nullopt;
        utf8.append(replacement);
        // EINVAL: a sequence cut short by the end of the file. Some converters report a bad sequence only once
        // they have taken in all of it, up to the last byte.
        if (error == EINVAL || inLeft == 0)
            break;
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    // Flushes a stateful converter's pending output.
    char *out = buffer.data();
    size_t outLeft = buffer.size();
    iconv(cd, nullptr, nullptr, &out, &outLeft);
    utf8.append(buffer.data(), qsizetype(buffer.size() - outLeft));
    return QString::fromUtf8(utf8);
}

std::optional<QString> decoded(QByteArrayView bytes, const TextEncoding &encoding, bool strict)
{
    switch (encoding.kind) {
    case EncodingKind::Utf8:
        return decodedUnicode(bytes, QStringConverter::Utf8, strict);
    case EncodingKind::Utf16LE:
        return decodedUnicode(bytes, QStringConverter::Utf16LE, strict);
    case EncodingKind::Utf16BE:
        return decodedUnicode(bytes, QStringConverter::Utf16BE, strict);
    case EncodingKind::Windows1252:
        return decodedWindows1252(bytes, strict);
    case EncodingKind::Iconv:
        return decodedWithIconv(bytes, encoding.iconvName, strict);
    }
    return std::nullopt;
}

QByteArrayView withoutBom(QByteArrayView bytes, const TextEncoding &encoding)
{
    const auto drop = [&](QByteArrayView bom) {
        return bytes.startsWith(bom) ? bytes.sliced(bom.size()) : bytes;
    };
    switch (encoding.kind) {
    case EncodingKind::Utf8:
        return drop("\xEF\xBB\xBF");
    case EncodingKind::Utf16LE:
        return drop("\xFF\xFE");
    case EncodingKind::Utf16BE:
        return drop("\xFE\xFF");
    default:
        return bytes;
    }
}

} // namespace

std::optional<QString> decodedStrictly(QByteArrayView bytes, const TextEncoding &encoding)
{
    return decoded(bytes, encoding, true);
}

QString decodedLeniently(QByteArrayView bytes, const TextEncoding &encoding)
{
    if (std::optional<QString> text = decoded(withoutBom(bytes, encoding), encoding, false))
        return *text;
    // Only a converter missing from the C library gets here; Windows-1252 always reads.
    return *decodedWindows1252(bytes, false);
}

} // namespace velvane
