#include "core/audio/filebytes.h"

namespace velvane {

FileBytes::FileBytes(const QString &path)
    : m_file(path)
{
    if (!m_file.open(QIODevice::ReadOnly) || m_file.size() == 0)
        return;
    if (const uchar *mapped = m_file.map(0, m_file.size())) {
        m_data = QByteArrayView(mapped, m_file.size());
        return;
    }
    m_read = m_file.readAll();
    m_data = m_read;
}

} // namespace velvane
