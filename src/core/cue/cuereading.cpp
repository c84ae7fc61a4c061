#include "core/cue/cuereading.h"

// Placeholder until the cue reader lands.
namespace velvane {
QStringList linesInFileAtPath(const QString &)
{
    return {};
}
QString decodeCueSheet(const QByteArray &)
{
    return {};
}
QStringList linesInText(const QString &)
{
    return {};
}
QString cleanedString(const QString &value)
{
    return value;
}
std::optional<AudioFile> searchAudioInLines(const QStringList &, const QString &)
{
    return std::nullopt;
}
TrackList parseTrackLines(const QStringList &)
{
    return {};
}
CueReading readCueSheet(const QString &cuePath)
{
    return {cuePath, {}, {}, std::nullopt, {}};
}
} // namespace velvane
