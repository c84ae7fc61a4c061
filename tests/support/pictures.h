#pragma once

#include <QByteArray>
#include <QString>

// Cover pictures for the tests: a gradient with a few shapes and a little noise, so that a decoder has real work.
namespace velvane::test {

// The picture encoded as "JPG" or "PNG".
[[nodiscard]] QByteArray pictureBytes(const char *format, int width = 64, int height = 48);

// Writes the picture and makes the album file carry it in its own tags, with the codec's own tool: lame or ffmpeg
// for MP3, metaflac for FLAC, vorbiscomment for Ogg Vorbis. False when a tool fails.
[[nodiscard]] bool embedPicture(const QString &audioFile, const QByteArray &picture);

} // namespace velvane::test
