#include "core/encoding/encodingcatalog.h"

using namespace Qt::StringLiterals;

namespace velvane {

namespace {

constexpr bool Detected = true;
constexpr bool OnRequest = false;

QList<TextEncoding> makeEncodings()
{
    const auto legacy = [](QLatin1StringView name, QLatin1StringView language, const char *iconvName, bool detected,
                           QLatin1StringView aliases = {}, QLatin1StringView commonCounterpart = {}) {
        return TextEncoding{name, language, EncodingKind::Iconv, iconvName, detected, aliases, commonCounterpart};
    };
    // ISO-8859-1 differs from Windows-1252 only in 0x80-0x9F, where it has C1 controls that no real sheet holds:
    // there the bytes are the curly quotes and dashes of Windows, so one entry serves both names.
    return {
        {"windows-1252"_L1, "Western European"_L1, EncodingKind::Windows1252, "", Detected,
         "cp1252|ISO-8859-1|latin1|l1|ascii|us-ascii"_L1},
        legacy("ISO-8859-15"_L1, "Western European"_L1, "ISO-8859-15", Detected, "latin9|latin-9"_L1),
        legacy("macintosh"_L1, "Western European"_L1, "MACINTOSH", Detected, "mac|macroman|x-mac-roman"_L1,
               "windows-1252"_L1),
        legacy("IBM850"_L1, "Western European"_L1, "IBM850", OnRequest, "cp850"_L1, "windows-1252"_L1),
        legacy("windows-1250"_L1, "Central European"_L1, "CP1250", Detected, "cp1250"_L1),
        legacy("ISO-8859-2"_L1, "Central European"_L1, "ISO-8859-2", Detected, "latin2|l2"_L1),
        legacy("x-mac-ce"_L1, "Central European"_L1, "MAC-CENTRALEUROPE", OnRequest,
               "mac-centraleurope|maccentraleurope"_L1, "windows-1250"_L1),
        legacy("IBM852"_L1, "Central European"_L1, "IBM852", OnRequest, "cp852"_L1, "windows-1250"_L1),
        legacy("windows-1257"_L1, "Baltic"_L1, "CP1257", Detected, "cp1257"_L1),
        legacy("ISO-8859-13"_L1, "Baltic"_L1, "ISO-8859-13", Detected, "latin7"_L1),
        legacy("ISO-8859-4"_L1, "Baltic"_L1, "ISO-8859-4", Detected, "latin4"_L1),
        legacy("windows-1251"_L1, "Cyrillic"_L1, "CP1251", Detected, "cp1251"_L1),
        legacy("KOI8-R"_L1, "Cyrillic"_L1, "KOI8-R", Detected),
        legacy("KOI8-U"_L1, "Cyrillic"_L1, "KOI8-U", Detected),
        legacy("IBM866"_L1, "Cyrillic"_L1, "IBM866", Detected, "cp866"_L1),
        legacy("ISO-8859-5"_L1, "Cyrillic"_L1, "ISO-8859-5", Detected),
        legacy("x-mac-cyrillic"_L1, "Cyrillic"_L1, "MAC-CYRILLIC", Detected, "mac-cyrillic|maccyrillic"_L1,
               "windows-1251"_L1),
        legacy("IBM855"_L1, "Cyrillic"_L1, "IBM855", OnRequest, "cp855"_L1, "windows-1251"_L1),
        legacy("windows-1253"_L1, "Greek"_L1, "CP1253", Detected, "cp1253"_L1),
        legacy("ISO-8859-7"_L1, "Greek"_L1, "ISO-8859-7", Detected),
        legacy("windows-1254"_L1, "Turkish"_L1, "CP1254", Detected, "cp1254"_L1),
        legacy("ISO-8859-9"_L1, "Turkish"_L1, "ISO-8859-9", Detected, "latin5"_L1),
        legacy("windows-1255"_L1, "Hebrew"_L1, "CP1255", Detected, "cp1255"_L1),
        legacy("ISO-8859-8"_L1, "Hebrew"_L1, "ISO-8859-8", Detected, "ISO-8859-8-I"_L1),
        legacy("windows-1256"_L1, "Arabic"_L1, "CP1256", Detected, "cp1256"_L1),
        legacy("ISO-8859-6"_L1, "Arabic"_L1, "ISO-8859-6", OnRequest, {}, "windows-1256"_L1),
        legacy("windows-874"_L1, "Thai"_L1, "CP874", Detected, "cp874|TIS-620|ISO-8859-11"_L1),
        legacy("windows-1258"_L1, "Vietnamese"_L1, "CP1258", OnRequest, "cp1258"_L1),
        // Windows wrote Japanese, Korean and Chinese sheets in its supersets of the standard sets; the plain
        // Shift_JIS converter would also turn every backslash into a yen sign.
        legacy("Shift_JIS"_L1, "Japanese"_L1, "CP932", Detected, "sjis|cp932|windows-31j|ms_kanji"_L1),
        legacy("EUC-JP"_L1, "Japanese"_L1, "EUC-JP", Detected, "eucjp"_L1),
        legacy("GB18030"_L1, "Chinese Simplified"_L1, "GB18030", Detected, "gbk|gb2312|cp936|euc-cn"_L1),
        legacy("Big5"_L1, "Chinese Traditional"_L1, "CP950", Detected, "cp950"_L1),
        legacy("Big5-HKSCS"_L1, "Chinese Traditional"_L1, "BIG5-HKSCS", OnRequest),
        legacy("EUC-KR"_L1, "Korean"_L1, "CP949", Detected, "cp949|uhc|ks_c_5601-1987"_L1),
        {"UTF-8"_L1, "Unicode"_L1, EncodingKind::Utf8, "", OnRequest, "utf8"_L1},
        {"UTF-16LE"_L1, "Unicode"_L1, EncodingKind::Utf16LE, "", OnRequest},
        {"UTF-16BE"_L1, "Unicode"_L1, EncodingKind::Utf16BE, "", OnRequest},
    };
}

// Names compare without case and without the separators people spell differently.
QString comparable(QStringView name)
{
    QString key;
    for (const QChar c : name) {
        if (c != u'-' && c != u'_' && c != u' ')
            key.append(c.toLower());
    }
    return key;
}

} // namespace

const QList<TextEncoding> &textEncodings()
{
    static const QList<TextEncoding> encodings = makeEncodings();
    return encodings;
}

const TextEncoding *findTextEncoding(QStringView name)
{
    const QString wanted = comparable(name);
    if (wanted.isEmpty())
        return nullptr;
    for (const TextEncoding &encoding : textEncodings()) {
        if (comparable(QString(encoding.name)) == wanted)
            return &encoding;
        for (const QString &alias : QString(encoding.aliases).split(u'|', Qt::SkipEmptyParts)) {
            if (comparable(alias) == wanted)
                return &encoding;
        }
    }
    return nullptr;
}

const TextEncoding &utf8Encoding()
{
    return *findTextEncoding(u"UTF-8");
}

const TextEncoding &windows1252Encoding()
{
    return textEncodings().constFirst();
}

} // namespace velvane
