#include "components/mp3length.h"

#include <QFile>

#include <taglib/mpegfile.h>
#include <taglib/mpegproperties.h>

namespace velvane {

std::optional<Mp3Length> mp3Length(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    TagLib::MPEG::File file(name.constData(), true, TagLib::AudioProperties::Accurate);
    if (!file.isValid() || !file.audioProperties() || file.audioProperties()->sampleRate() <= 0)
        return std::nullopt;
    return Mp3Length{file.audioProperties()->lengthInMilliseconds(), file.audioProperties()->sampleRate()};
}

} // namespace velvane
