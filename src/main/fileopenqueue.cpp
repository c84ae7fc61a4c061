#include "main/fileopenqueue.h"

#include <QFileOpenEvent>

FileOpenQueue::FileOpenQueue(QObject *application)
    : QObject(application)
{
    application->installEventFilter(this);
}

void FileOpenQueue::deliverTo(std::function<void(const QStringList &)> receiver)
{
    m_receiver = std::move(receiver);
    if (!m_pending.isEmpty())
        m_receiver(std::exchange(m_pending, {}));
}

bool FileOpenQueue::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::FileOpen)
        return QObject::eventFilter(watched, event);
    const QString path = static_cast<QFileOpenEvent *>(event)->file();
    if (m_receiver)
        m_receiver({path});
    else
        m_pending.append(path);
    return true;
}
