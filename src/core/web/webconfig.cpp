#include "core/web/webconfig.h"

#include <QSettings>

using namespace Qt::StringLiterals;

namespace velvane {

WebConfig defaultWebConfig()
{
    return {
        .baseAddress = u"http://www.velvane.org"_s,
        .paymentHost = u"www.paypal.com"_s,
        .payee = u"donate@velvane.org"_s,
        .homePage = u"https://velvane.org/"_s,
        .supportMail = u"support@velvane.org"_s,
        // The window waits for the server with nothing else to do; a silent server should not hold it longer.
        .fetchTimeoutMs = 15000,
    };
}

WebConfig webConfig()
{
    const QSettings settings;
    WebConfig config = defaultWebConfig();
    const auto text = [&settings](QLatin1String key, QString &value) {
        const QString stored = settings.value(key).toString().trimmed();
        if (!stored.isEmpty())
            value = stored;
    };
    text(kBaseAddressKey, config.baseAddress);
    text(kPaymentHostKey, config.paymentHost);
    text(kPayeeKey, config.payee);
    text(kHomePageKey, config.homePage);
    text(kSupportMailKey, config.supportMail);
    // The paths are appended with their own slash.
    while (config.baseAddress.endsWith(u'/'))
        config.baseAddress.chop(1);

    bool ok = false;
    const int timeout = settings.value(kFetchTimeoutKey).toInt(&ok);
    // Zero would mean no time-out at all and a window that can hang for good.
    if (ok && timeout > 0)
        config.fetchTimeoutMs = timeout;
    return config;
}

} // namespace velvane
