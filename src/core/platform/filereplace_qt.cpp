#include "core/platform/filereplace.h"

#include <QFile>

#include <filesystem>
#include <system_error>

namespace velvane {

FileReplacement replaceFile(const QString &replacement, const QString &target, const FileStamp &expected)
{
    if (stampOf(target) != expected)
        return {false, true, false, {}};
    // A file put under target's name between the check and the rename is lost: without an exchange of names there
    // is no way to keep it that also keeps the name.
    std::error_code error;
    std::filesystem::rename(std::filesystem::path(replacement.toStdU16String()),
                            std::filesystem::path(target.toStdU16String()), error);
    if (error)
        return {false, false, false, QString::fromStdString(error.message())};
    return {true, false, false, {}};
}

bool adoptAccess(const QString &replacement, const QString &target)
{
    return QFile::setPermissions(replacement, QFile::permissions(target));
}

} // namespace velvane
