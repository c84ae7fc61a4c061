#include "components/splitter/splittercommand.h"

#include "core/platform/splitterlocation.h"

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcSplitter, "velvane.splitter", QtInfoMsg)

namespace velvane {

QString splitterTime(qint64 hundredths)
{
    const qint64 seconds = hundredths / 100;
    return u"%1.%2.%3"_s.arg(seconds / 60)
        .arg(seconds % 60, 2, 10, QChar(u'0'))
        .arg(hundredths % 100, 2, 10, QChar(u'0'));
}

QString splitterProgram()
{
    const QString configured = qEnvironmentVariable("VELVANE_MP3SPLT");
    return configured.isEmpty() ? installedSplitterPath() : configured;
}

} // namespace velvane
