#include "core/web/feedback.h"

#include "core/web/fetch.h"
#include "core/web/version.h"

using namespace Qt::StringLiterals;

namespace velvane {

qsizetype feedbackKeptLength(const QString &message)
{
    if (message.size() <= kFeedbackLimit)
        return message.size();
    if (message.at(kFeedbackLimit - 1).isHighSurrogate() && message.at(kFeedbackLimit).isLowSurrogate())
        return kFeedbackLimit - 1;
    return kFeedbackLimit;
}

QString characterCodes(const QString &text)
{
    QString codes;
    codes.reserve(text.size() * 6);
    for (const QChar unit : text) {
        codes += QString::number(unit.unicode());
        codes += u'*';
    }
    return codes;
}

QString feedbackSeparator()
{
    return u"10*10*"_s + u"45*"_s.repeated(46) + u"10*10*"_s;
}

QString informationBlock(const QString &osVersion, int version)
{
    return u"MacOSX "_s % osVersion % u"\nVelvane version "_s % versionNumber(version) % u"\nRegistred: Donationware"_s;
}

std::optional<QUrl> feedbackUrl(const QString &baseAddress, const QString &mail, const QString &message,
                                const QString &infos)
{
    const QString text = baseAddress % u"/php/feedback.php?mail="_s %
                         QString::fromLatin1(QUrl::toPercentEncoding(mail)) % u"&text="_s % characterCodes(message) %
                         feedbackSeparator() % characterCodes(infos) % u"10*"_s;
    return webUrl(text);
}

bool isFeedbackConfirmed(const std::optional<QString> &reply)
{
    return reply && *reply == u"OK\n"_s;
}

Notice missingAddressNotice()
{
    return {u"Status"_s, u"please enter your email-adress!"_s, {u"ok"_s}};
}

Notice feedbackSentNotice()
{
    return {u"Status"_s, u"Message was sent without any problems!"_s, {u"Ok"_s}};
}

Notice feedbackFailedNotice()
{
    return {u"ERROR"_s, u"No internet-connection found\nor message-server down!"_s, {u"Ok"_s}};
}

} // namespace velvane
