#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace velvane {

struct DetectorMatch
{
    QByteArray charset; // as the detector names it
    int confidence = 0; // 0 to 100
};

// uchardet's one answer; empty when it has none.
[[nodiscard]] QByteArray uchardetAnswer(QByteArrayView bytes);
// ICU's candidates, most confident first.
[[nodiscard]] QList<DetectorMatch> icuMatches(QByteArrayView bytes);

} // namespace velvane
