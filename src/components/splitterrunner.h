#pragma once

#include "components/splittercommand.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace velvane {

// One track's run.
struct SplitterJob
{
    bool isOgg = false;
    QString destination; // folder the piece is written into, as out.mp3 or out.ogg
    QString audioFile;
    QString startTime;              // cue sheet form mm:ss:ff
    std::optional<QString> endTime; // cue sheet form; none for the last track, which runs to the end
};

struct SplitterResult
{
    bool ok = false;   // exited normally with status 0 and left a non-empty piece
    QString reason;    // why not, for the user
    QString piecePath; // destination/out.<ext>
};

// The words after the program; nothing when a time is malformed.
[[nodiscard]] std::optional<QStringList> splitterArguments(const SplitterJob &job, bool bitReservoir);

// Runs the splitter without a shell and waits for it to exit. Safe to call from any thread.
[[nodiscard]] SplitterResult runSplitter(const SplitterJob &job);

} // namespace velvane
