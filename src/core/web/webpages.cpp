#include "core/web/webpages.h"

#include "core/web/fetch.h"
#include "core/web/version.h"

using namespace Qt::StringLiterals;

namespace velvane {

std::optional<QUrl> versionFileUrl(const QString &baseAddress)
{
    return webUrl(baseAddress % u"/_appvelvane/version"_s);
}

std::optional<QUrl> downloadPageUrl(const QString &baseAddress)
{
    return webUrl(baseAddress % u"/_appvelvane"_s);
}

std::optional<QUrl> donationUrl(const QString &paymentHost, const QString &payee, Currency currency)
{
    const QString code = currency == Currency::Dollar ? u"USD"_s : u"EUR"_s;
    return webUrl(u"https://"_s % paymentHost % u"/cgi-bin/webscr?cmd=_xclick&business="_s %
                  QString::fromLatin1(QUrl::toPercentEncoding(payee)) %
                  u"&item_name=Donation%20for%20velvane&item_number=10&no_shipping=1&no_note=1&tax=0&currency_code="_s %
                  code);
}

UpdateNotice updateNotice(int published, int own, const QString &supportMail)
{
    if (published == 0)
        return {{u"attention:"_s, u"You aren't connected to the internet so this check doesn't works!"_s, {u"ok"_s}}};
    if (published > own)
        return {{u"Result:"_s,
                 u"You are NOT using the actual version!\n("_s % versionText(own) % u" instead of "_s %
                     versionText(published) % u')',
                 {u"download"_s, u"cancel"_s}},
                true};
    return {{u"Result:"_s,
             u"You are using the actual version! ("_s % versionText(own) %
                 u")\nIf you have problems with this version\nplease mail to "_s % supportMail,
             {u"ok"_s}}};
}

} // namespace velvane
