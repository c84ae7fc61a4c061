#include "core/encoding/bytedecoding.h"

#include <QStringDecoder>

#include <unicode/ucnv.h>

#include <array>
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

struct ConverterCloser
{
    void operator()(UConverter *converter) const { ucnv_close(converter); }
};
using ConverterHandle = std::unique_ptr<UConverter, ConverterCloser>;

// The catalog names Windows's code pages as "CP1251"; ICU's "cp" names are often IBM's tables of the same number.
std::string icuName(std::string_view name)
{
    return name.starts_with("CP") ? "windows-" + std::string(name.substr(2)) : std::string(name);
}

// Opening a converter loads its table, which costs more than converting a sheet; detection tries thirty of them on
// every sheet, so each thread keeps its converters open.
UConverter *converter(const char *name)
{
    thread_local std::map<std::string, ConverterHandle, std::less<>> open;
    auto known = open.find(std::string_view(name));
    if (known == open.end()) {
        UErrorCode status = U_ZERO_ERROR;
        ConverterHandle opened(ucnv_open(icuName(name).c_str(), &status));
        if (U_FAILURE(status))
            return nullptr;
        known = open.emplace(name, std::move(opened)).first;
    }
    ucnv_reset(known->second.get());
    return known->second.get();
}

// Windows defines no character for some bytes of its code pages, or leaves them to the user; ICU's tables map them
// to C1 controls and private-use characters, which no real sheet holds, so they count as bytes that map to nothing.
bool undefinedInWindows(char16_t c)
{
    return (c >= 0x80 && c < 0xA0) || (c >= 0xE000 && c < 0xF900);
}

// Leniently, each sequence that maps to nothing becomes one U+FFFD, so one bad byte does not cost the rest.
std::optional<QString> decodedWithIcu(QByteArrayView bytes, const char *name, bool strict)
{
    UConverter *cnv = converter(name);
    if (!cnv)
        return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    if (strict)
        ucnv_setToUCallBack(cnv, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    else
        ucnv_setToUCallBack(cnv, UCNV_TO_U_CALLBACK_SUBSTITUTE, nullptr, nullptr, nullptr, &status);
    // GB18030 turns four bytes into two UTF-16 units, no converter more than two units from one byte.
    QString text(2 * bytes.size() + 2, Qt::Uninitialized);
    auto *out = reinterpret_cast<UChar *>(text.data());
    const char *in = bytes.data();
    ucnv_toUnicode(cnv, &out, out + text.size(), &in, bytes.data() + bytes.size(), nullptr, true, &status);
    if (U_FAILURE(status))
        return std::nullopt;
    text.truncate(out - reinterpret_cast<UChar *>(text.data()));
    if (std::string_view(name).starts_with("CP")) {
        for (QChar &c : text) {
            if (!undefinedInWindows(c.unicode()))
                continue;
            if (strict)
                return std::nullopt;
            c = QChar(replacementCharacter);
        }
    }
    return text;
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
        return decodedWithIcu(bytes, encoding.iconvName, strict);
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
    // Only a converter missing from ICU's data gets here; Windows-1252 always reads.
    return *decodedWindows1252(bytes, false);
}

} // namespace velvane
