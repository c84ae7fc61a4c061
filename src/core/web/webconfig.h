#pragma once

#include <QLatin1String>
#include <QString>

namespace velvane {

// Settings keys that override the built-in web addresses, e.g. to point a test or a mirror elsewhere.
inline constexpr QLatin1String kBaseAddressKey("web/baseAddress");
inline constexpr QLatin1String kPaymentHostKey("web/paymentHost");
inline constexpr QLatin1String kPayeeKey("web/payee");
inline constexpr QLatin1String kHomePageKey("web/homePage");
inline constexpr QLatin1String kSupportMailKey("web/supportMail");
inline constexpr QLatin1String kFetchTimeoutKey("web/fetchTimeoutMs");

struct WebConfig
{
    QString baseAddress; // scheme and host of the program's server, no trailing slash
    QString paymentHost;
    QString payee;
    QString homePage;
    QString supportMail;
    int fetchTimeoutMs = 0; // inactivity time-out of a fetch
};

[[nodiscard]] WebConfig defaultWebConfig();
// The defaults with whatever the application's QSettings override.
[[nodiscard]] WebConfig webConfig();

} // namespace velvane
