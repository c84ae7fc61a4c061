#include "components/splitter/splittercommand.h"

#include "core/platform/splitterlocation.h"

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcSplitter, "velvane.splitter", QtInfoMsg)

namespace velvane {

namespace {

std::optional<int> digits(QStringView text, qsizetype maxLength)
{
    if (text.isEmpty() || text.size() > maxLength)
        return std::nullopt;
    int value = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

} // namespace

std::optional<QString> splitterTime(const QString &cueTime)
{
    const QList<QStringView> fields = QStringView(cueTime).split(u':');
    if (fields.size() != 3)
        return std::nullopt;
    // Minutes are only checked for digits; anything longer than this is no real album anyway.
    const auto minutes = digits(fields[0], 6);
    const auto seconds = digits(fields[1], 2);
    const auto frames = digits(fields[2], 2);
    if (!minutes || !seconds || !frames || *seconds > 59 || *frames > 74)
        return std::nullopt;
    const auto hundredths = hundredthsOfFrames(*frames);
    return fields[0].toString() % u'.' % fields[1].toString() % u'.' %
           QString::number(hundredths).rightJustified(2, u'0');
}

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
