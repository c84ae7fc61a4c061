#include "main/sessionend.h"

#include "core/platform/terminationsignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

SessionEnd::SessionEnd(QObject *application)
    : QObject(application)
{
    using velvane::TerminationSignals;
    TerminationSignals::install();
    if (TerminationSignals::wakeDescriptor() < 0)
        return;
    auto *notifier = new QSocketNotifier(TerminationSignals::wakeDescriptor(), QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [notifier] {
        notifier->setEnabled(false);
        QCoreApplication::exit(TerminationSignals::exitStatus(TerminationSignals::received()));
    });
}
