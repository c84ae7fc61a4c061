#pragma once

#include "core/web/notice.h"

#include <QString>
#include <QUrl>

#include <optional>

namespace velvane {

[[nodiscard]] std::optional<QUrl> versionFileUrl(const QString &baseAddress);
[[nodiscard]] std::optional<QUrl> downloadPageUrl(const QString &baseAddress);

enum class Currency
{
    Dollar,
    Euro
};

// The payment service's donation page; the two currencies give addresses that differ in the currency code alone.
[[nodiscard]] std::optional<QUrl> donationUrl(const QString &paymentHost, const QString &payee, Currency currency);

struct UpdateNotice
{
    Notice notice;
    bool offersDownload = false; // the default button opens the download page
};

// What to tell the user about the published version against the own one. 0 stands for "could not find out",
// since a failed fetch, an empty or a non-numeric file all read as 0.
[[nodiscard]] UpdateNotice updateNotice(int published, int own, const QString &supportMail);

} // namespace velvane
