#include "core/text/controlcharacters.h"

namespace velvane {

bool isControlCharacter(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

QString withoutControlCharacters(const QString &text)
{
    QString shown = text;
    for (QChar &c : shown) {
        if (isControlCharacter(c.unicode()))
            c = u'_';
    }
    return shown;
}

} // namespace velvane
