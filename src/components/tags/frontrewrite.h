#pragma once

#include "core/audio/frontplan.h"
#include "core/platform/filestamp.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

namespace velvane {

struct RewriteResult
{
    bool ok = false;
    QString error; // in user words when !ok
};

// Puts the plan's front before the piece's audio. When the new front fills the old one's room exactly (the splitter
// keeps such room in front of each piece), it is written over it and nothing else moves; otherwise the front and
// the audio are written once, in order, into a new file beside the piece, which then takes the piece's place. ok
// only when the front stands in the file and the audio behind it reads back as before; otherwise the file is byte
// for byte as it was.
[[nodiscard]] RewriteResult rewriteFront(const QString &path, const FileStamp &examined, const FrontPlan &plan);

enum class RewriteWay
{
    Automatic,
    CopyOnly
};

// Lets tests and the benchmark steer rewrites. Process-wide and unsynchronised: set it only while no rewrite runs.
struct RewriteSeam
{
    RewriteWay way = RewriteWay::Automatic;
    qint64 chunkLimit = 0;                    // when > 0, each write call moves at most this many bytes
    std::function<int(int call)> beforeWrite; // called before each write call (from 1); an errno fails it
};
void setRewriteSeam(RewriteSeam seam);

} // namespace velvane
