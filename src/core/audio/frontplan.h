#pragma once

#include <QByteArray>

#include <functional>
#include <optional>

namespace velvane {

// A piece seen as a front (tags, headers), which is replaced, and the audio behind it, which is kept byte for byte.
// What follows audioEnd (old trailing tags) is dropped.
struct FrontPlan
{
    qint64 audioBegin = 0;
    qint64 audioEnd = 0;
    qint64 smallestFront = 0;
    // The new front, exactly size bytes long; nothing when the format cannot fill that size exactly.
    std::function<std::optional<QByteArray>(qint64 size)> render;
};

} // namespace velvane
