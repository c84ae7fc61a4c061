#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <variant>

namespace velvane {

// Where the audio of a RIFF/WAVE file lies and how it is laid out: integer PCM, 16 or 24 bit, plain or
// WAVE_FORMAT_EXTENSIBLE, whatever chunks stand before the audio.
struct WavImage
{
    int channels = 0;
    int sampleRate = 0;
    int bitsPerSample = 0;
    int blockAlign = 0; // bytes of one sample of every channel
    QByteArray fmt;     // the fmt chunk's body as found, for pieces to carry
    qint64 dataOffset = 0;
    qint64 dataBytes = 0; // whole blocks only, and no more than the file holds

    [[nodiscard]] qint64 frames() const { return dataBytes / blockAlign; }
};

// The layout, or why the file cannot be cut as WAV.
[[nodiscard]] std::variant<WavImage, QString> readWavImage(QIODevice &file);

// The header of a WAV file of dataBytes of image's audio; an odd count is followed by one pad byte, which the
// caller writes after the audio.
[[nodiscard]] QByteArray wavHeader(const WavImage &image, qint64 dataBytes);

// The largest audio a WAV file's 32-bit sizes can describe behind a header of headerBytes.
[[nodiscard]] qint64 wavDataLimit(qint64 headerBytes);

} // namespace velvane
