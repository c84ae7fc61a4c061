#pragma once

#include <QObject>
#include <QStringList>

#include <functional>

// Collects the files the system asks the application to open (macOS sends them as events, possibly before
// the main window exists) and hands them on once a receiver is set.
class FileOpenQueue : public QObject
{
    Q_OBJECT
public:
    explicit FileOpenQueue(QObject *application);

    void deliverTo(std::function<void(const QStringList &)> receiver);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QStringList m_pending;
    std::function<void(const QStringList &)> m_receiver;
};
