#include "core/audio/audioformat.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace velvane {

namespace {

struct RefusedName
{
    QStringView extension;
    QStringView name;
};

// .m4a may hold AAC as well as ALAC; either way it is not cut, and ALAC is what a lossless image in one would be.
constexpr RefusedName refused[] = {{u".ape", u"APE (Monkey's Audio)"},   {u".wv", u"WavPack"},
                                   {u".tta", u"TTA (True Audio)"},       {u".m4a", u"ALAC (Apple Lossless)"},
                                   {u".alac", u"ALAC (Apple Lossless)"}, {u".opus", u"Opus"}};

} // namespace

std::optional<AudioFormat> audioFormatOfName(const QString &path)
{
    for (const AudioFormat format : audioFormats) {
        if (path.endsWith(u'.' + extensionOf(format), Qt::CaseInsensitive))
            return format;
    }
    return std::nullopt;
}

QString extensionOf(AudioFormat format)
{
    switch (format) {
    case AudioFormat::Mp3:
        return u"mp3"_s;
    case AudioFormat::Ogg:
        return u"ogg"_s;
    case AudioFormat::Flac:
        return u"flac"_s;
    case AudioFormat::Wav:
        return u"wav"_s;
    }
    return {};
}

QString formatName(AudioFormat format)
{
    switch (format) {
    case AudioFormat::Mp3:
        return u"MP3"_s;
    case AudioFormat::Ogg:
        return u"Ogg Vorbis"_s;
    case AudioFormat::Flac:
        return u"FLAC"_s;
    case AudioFormat::Wav:
        return u"WAV"_s;
    }
    return {};
}

std::optional<QString> refusedFormatOfName(const QString &path)
{
    for (const RefusedName &known : refused) {
        if (path.endsWith(known.extension, Qt::CaseInsensitive))
            return known.name.toString();
    }
    return std::nullopt;
}

QString refusedFormatMessage(const QString &path, const QString &format)
{
    return u"The audio file \""_s + QFileInfo(path).fileName() + u"\" is "_s + format +
           u", which Velvane cannot cut. It cuts MP3, Ogg Vorbis, FLAC and WAV albums."_s;
}

} // namespace velvane
