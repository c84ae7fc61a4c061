#pragma once

#include <QList>
#include <QMap>
#include <QString>

namespace velvane {

// One track: "title", "performer" and "index" after a read; the table may add any other key.
using TrackEntry = QMap<QString, QString>;
using TrackList = QList<TrackEntry>;

} // namespace velvane
