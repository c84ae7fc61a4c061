#include "core/lossless/losslesscut.h"

using namespace Qt::StringLiterals;

namespace velvane {

void cutFlacImage(const LosslessCutRequest &request, const LosslessCallbacks &callbacks)
{
    for (qsizetype i = 0; i < request.pieces.size(); ++i)
        callbacks.pieceDone({i, false, u"FLAC albums cannot be cut yet."_s});
}

} // namespace velvane
