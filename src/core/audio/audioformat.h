#pragma once

#include <QString>

#include <optional>

namespace velvane {

// The kinds of album Velvane cuts: MP3 and Ogg Vorbis through the splitter, FLAC and WAV images by its own code.
enum class AudioFormat
{
    Mp3,
    Ogg,
    Flac,
    Wav
};

// Every format cut, in the order names are matched: a name with several of the extensions counts as the first.
inline constexpr AudioFormat audioFormats[] = {AudioFormat::Mp3, AudioFormat::Ogg, AudioFormat::Flac, AudioFormat::Wav};

// The format a file's name gives, in any case of the extension; none for any other name.
[[nodiscard]] std::optional<AudioFormat> audioFormatOfName(const QString &path);
// Without the dot: "mp3", "ogg", "flac", "wav".
[[nodiscard]] QString extensionOf(AudioFormat format);
// As the user reads it: "MP3", "Ogg Vorbis", "FLAC", "WAV".
[[nodiscard]] QString formatName(AudioFormat format);
// The splitter cuts these; the lossless images are cut by the core.
[[nodiscard]] constexpr bool isCutBySplitter(AudioFormat format)
{
    return format == AudioFormat::Mp3 || format == AudioFormat::Ogg;
}

// The name of an album format that is known but not cut (APE, WavPack, TTA, ALAC, Opus), from the file's name;
// none for any other name.
[[nodiscard]] std::optional<QString> refusedFormatOfName(const QString &path);
// What the user is told about such a file.
[[nodiscard]] QString refusedFormatMessage(const QString &path, const QString &format);

} // namespace velvane
