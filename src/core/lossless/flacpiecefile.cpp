#include "core/lossless/flacpiecefile.h"

#include <QDir>

using namespace Qt::StringLiterals;

namespace velvane {

namespace {
constexpr qsizetype writeSize = 1 << 20;
}

bool FlacPieceFile::create(const QString &path, const FlacStreamInfo &album, int tagRoom)
{
    m_info = album;
    m_info.maxBlockSize = m_info.maxFrameSize = 0;
    m_info.minBlockSize = 0xFFFF;
    m_info.minFrameSize = 0xFFFFFF;
    m_info.totalSamples = 0;
    m_info.md5 = {};
    m_file.setFileName(path);
    // NewOnly: the system refuses to create the file when anything, even a dangling link, holds its name.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        m_error = u"%1 cannot be created: %2."_s.arg(QDir::toNativeSeparators(path), m_file.errorString());
        return false;
    }
    m_created = true;
    m_buffer = flacPieceMetadata(m_info, tagRoom);
    m_buffer.reserve(writeSize + (1 << 17));
    return true;
}

void FlacPieceFile::addFrame(QByteArrayView header, QByteArrayView body, quint16 crc, int blockSize)
{
    if (m_frames > 0)
        m_info.minBlockSize = std::min(m_info.minBlockSize, m_lastBlockSize);
    m_info.maxBlockSize = std::max(m_info.maxBlockSize, blockSize);
    const int size = int(header.size() + body.size() + 2);
    m_info.minFrameSize = std::min(m_info.minFrameSize, size);
    m_info.maxFrameSize = std::max(m_info.maxFrameSize, size);
    m_lastBlockSize = blockSize;
    m_samples += blockSize;
    ++m_frames;
    m_buffer += header;
    m_buffer += body;
    m_buffer += char(crc >> 8);
    m_buffer += char(crc);
    if (m_buffer.size() >= writeSize)
        flush();
}

bool FlacPieceFile::flush()
{
    if (m_error.isEmpty() && m_file.write(m_buffer) != m_buffer.size())
        m_error = u"The track could not be written: %1."_s.arg(m_file.errorString());
    m_buffer.clear();
    return m_error.isEmpty();
}

bool FlacPieceFile::finish(const std::array<quint8, 16> &md5)
{
    // The last frame may be short and is left out of the smallest block size, as decoders expect.
    if (m_frames == 1)
        m_info.minBlockSize = m_lastBlockSize;
    m_info.totalSamples = m_samples;
    m_info.md5 = md5;
    if (!flush())
        return false;
    if (!m_file.seek(flacStreamInfoOffset) || m_file.write(flacStreamInfoBody(m_info)) != flacStreamInfoLength ||
        !m_file.flush()) {
        m_error = u"The track could not be written: %1."_s.arg(m_file.errorString());
        return false;
    }
    m_file.close();
    return true;
}

void FlacPieceFile::discard()
{
    if (m_created) {
        m_file.close();
        m_file.remove();
        m_created = false;
    }
}

} // namespace velvane
