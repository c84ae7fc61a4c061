#pragma once

#include <QByteArray>
#include <QString>

namespace velvane {

// The picture an album file carries in its own tags (ID3v2 APIC in MP3 and WAV, PICTURE blocks in FLAC,
// METADATA_BLOCK_PICTURE in Vorbis comments), its front cover where one is marked so, else the first; empty when it
// has none or is no audio file TagLib knows. Only a regular file is opened.
[[nodiscard]] QByteArray embeddedPicture(const QString &audioFile);

} // namespace velvane
