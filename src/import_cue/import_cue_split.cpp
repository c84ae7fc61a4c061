#include "import_cue/import_cue.h"

#include "import_cue/splitsession.h"

// Placeholder until the split worker lands.
void import_cue::connectSplitActions() {}
void import_cue::startSplit() {}
void import_cue::close() {}
QString import_cue::cleanedFilename(const QString &text) const
{
    return text;
}
bool import_cue::isSplitting() const
{
    return m_split != nullptr;
}
void import_cue::shutdown() {}
