#include "core/startup/installplan.h"

using namespace Qt::StringLiterals;

namespace velvane {

QList<PrivilegedCommand> installCommands(const QString &localFolder)
{
    return {
        {u"/bin/mkdir"_s, {u"-p"_s, u"/usr"_s}},
        {u"/bin/mkdir"_s, {u"-p"_s, u"/usr/local"_s}},
        // Timestamps only: "-p" would also hand the existing /usr/local and /usr/local/bin to the owner and modes
        // of the source folder, which for a build tree is an ordinary user.
        {u"/bin/cp"_s, {u"-f"_s, u"--preserve=timestamps"_s, u"-R"_s, localFolder, u"/usr/"_s}},
    };
}

} // namespace velvane
