#include "cli/jsonwriter.h"

#include "core/text/controlcharacters.h"

using namespace Qt::StringLiterals;

namespace {

QString unicodeEscape(char16_t c)
{
    return u"\\u"_s + QString::number(c, 16).rightJustified(4, u'0');
}

} // namespace

QByteArray jsonString(const QString &text)
{
    QString escaped;
    escaped.reserve(text.size() + 2);
    escaped.append(u'"');
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == u'"' || c == u'\\') {
            escaped.append(u'\\');
            escaped.append(QChar(c));
        } else if (c == u'\n') {
            escaped.append(u"\\n"_s);
        } else if (c == u'\r') {
            escaped.append(u"\\r"_s);
        } else if (c == u'\t') {
            escaped.append(u"\\t"_s);
        } else if (velvane::isControlCharacter(c) || c == 0x2028 || c == 0x2029) {
            // Escaped, no control character or bidirectional override reaches a terminal that shows the output.
            // The separators are valid JSON but break JavaScript readers that take a line as a statement.
            escaped.append(unicodeEscape(c));
        } else if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            escaped.append(text.sliced(i, 2));
            ++i;
        } else if (QChar::isSurrogate(c)) {
            // A lone half from a damaged UTF-16 sheet: escaped, it survives; as UTF-8 it would be lost.
            escaped.append(unicodeEscape(c));
        } else {
            escaped.append(QChar(c));
        }
    }
    escaped.append(u'"');
    return escaped.toUtf8();
}

QByteArray jsonBool(bool value)
{
    return value ? QByteArrayLiteral("true") : QByteArrayLiteral("false");
}
