#pragma once

#include "core/lossless/flacmetadata.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QString>

#include <array>

namespace velvane {

// A piece's file as its frames come: created only where no file is, its STREAMINFO completed at the end.
class FlacPieceFile
{
public:
    // False, with the reason in error(), when the file cannot be created or path is taken.
    [[nodiscard]] bool create(const QString &path, const FlacStreamInfo &album, int tagRoom);

    void addFrame(QByteArrayView header, QByteArrayView body, quint16 crc, int blockSize);

    // Writes what is left and the STREAMINFO, with the piece's sample count, block and frame sizes and MD5.
    [[nodiscard]] bool finish(const std::array<quint8, 16> &md5);

    // Closes and removes the file, finished or not, when it was created here.
    void discard();

    [[nodiscard]] QString error() const { return m_error; }
    [[nodiscard]] qint64 samples() const { return m_samples; }

private:
    bool flush();

    QFile m_file;
    QByteArray m_buffer;
    FlacStreamInfo m_info;
    QString m_error;
    qint64 m_samples = 0;
    int m_frames = 0;
    bool m_created = false;
    int m_lastBlockSize = 0;
};

} // namespace velvane
