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

} // namespace velvane
