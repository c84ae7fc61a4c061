#pragma once

#include <QLatin1StringView>
#include <QList>
#include <QString>

namespace velvane {

enum class EncodingKind
{
    Utf8,
    Utf16LE,
    Utf16BE,
    Windows1252, // decoded by hand so that the last resort never fails
    Iconv,
};

// One encoding a cue sheet may be read with.
struct TextEncoding
{
    QLatin1StringView name;     // what the window shows and --encoding accepts
    QLatin1StringView language; // the heading it is listed under
    EncodingKind kind = EncodingKind::Iconv;
    const char *iconvName = "";  // the converter's name; a superset where Windows wrote one
    bool detected = false;       // tried on every sheet that is not UTF-8, not only when a detector names it
    QLatin1StringView aliases{}; // other names for the same bytes, separated by "|"
    // For a rarely used code page (Mac, DOS), the Windows code page of the same script, which wrote nearly every
    // sheet in that script: the rare one must read the bytes clearly better to be chosen over it.
    QLatin1StringView commonCounterpart{};
};

// Every encoding, grouped by language in the order a list shows them; Unicode last.
[[nodiscard]] const QList<TextEncoding> &textEncodings();
// By name or alias, ignoring case and the separators "-", "_" and " ": "cp1251", "Windows_1251", "sjis".
[[nodiscard]] const TextEncoding *findTextEncoding(QStringView name);
[[nodiscard]] const TextEncoding &utf8Encoding();
[[nodiscard]] const TextEncoding &windows1252Encoding();

} // namespace velvane
