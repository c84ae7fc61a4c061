#pragma once

#include <QString>
#include <QStringView>

#include <optional>

namespace velvane {

// The decimal integer a text begins with: leading white space skipped, an optional sign, then digits up to the
// first other character. 0 when the text does not begin that way; clamped to the 32-bit range.
[[nodiscard]] int intValue(const QString &text);

// A text of one to maxLength ASCII digits and nothing else, as a number; none otherwise. Other scripts' digits and
// blanks are refused.
[[nodiscard]] std::optional<qint64> digitsValue(QStringView text, qsizetype maxLength);

// A text that is nothing but a decimal number from lowest to highest, blanks around it allowed; none otherwise.
[[nodiscard]] std::optional<int> wholeNumberIn(const QString &text, int lowest, int highest);

} // namespace velvane
