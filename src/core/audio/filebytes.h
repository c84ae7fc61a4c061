#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QString>

namespace velvane {

// A whole file's bytes for reading, mapped where the file system allows it and read into memory otherwise; empty when
// the file cannot be opened or holds nothing.
class FileBytes
{
public:
    explicit FileBytes(const QString &path);

    [[nodiscard]] QByteArrayView data() const { return m_data; }
    [[nodiscard]] bool isEmpty() const { return m_data.isEmpty(); }

private:
    QFile m_file;
    QByteArray m_read;
    QByteArrayView m_data;
};

} // namespace velvane
