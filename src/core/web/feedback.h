#pragma once

#include "core/web/notice.h"

#include <QString>
#include <QUrl>

#include <optional>

namespace velvane {

// In UTF-16 code units, as the text widget counts.
inline constexpr qsizetype kFeedbackLimit = 1800;

// How much of a message to keep: all of it up to the limit, else the limit, one less when that would split a
// surrogate pair (half a character would reach the server as garbage).
[[nodiscard]] qsizetype feedbackKeptLength(const QString &message);

// Every UTF-16 code unit as its decimal value and "*"; the server decodes this, so the query never needs escaping.
[[nodiscard]] QString characterCodes(const QString &text);

// Two line feeds, 46 hyphens and two line feeds, already as character codes.
[[nodiscard]] QString feedbackSeparator();

// What the form shows and sends about the sender's system; the server parses this exact layout.
[[nodiscard]] QString informationBlock(const QString &osVersion, int version);

// The GET request that carries a message; none when the base address is not a usable http(s) address.
// The address is percent-encoded so that "+", "&" or "=" in it reach the server as typed.
[[nodiscard]] std::optional<QUrl> feedbackUrl(const QString &baseAddress, const QString &mail, const QString &message,
                                              const QString &infos);

// Only this exact reply confirms a message; anything else, or none, is a failure.
[[nodiscard]] bool isFeedbackConfirmed(const std::optional<QString> &reply);

[[nodiscard]] Notice missingAddressNotice();
[[nodiscard]] Notice feedbackSentNotice();
[[nodiscard]] Notice feedbackFailedNotice();

} // namespace velvane
