#include "import_cue/preferences.h"

#include <QSettings>

namespace velvane {

bool preference(const QString &key)
{
    return QSettings().value(key, false).toBool();
}

void setPreference(const QString &key, bool on)
{
    QSettings().setValue(key, on);
}

std::chrono::milliseconds splitterStallTimeout()
{
    bool ok = false;
    const double seconds = QSettings().value(QStringLiteral("splitter/stallSeconds")).toDouble(&ok);
    return std::chrono::milliseconds(ok && seconds > 0 && seconds <= 86400 ? qint64(seconds * 1000) : 60000);
}

} // namespace velvane
