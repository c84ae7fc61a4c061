#pragma once

#include <QObject>

#include <functional>

// Keeps a sheet on screen while busy() holds: Escape and the window's close button do nothing then.
// Owned by whoever answers busy(), so it never outlives what it asks.
class SheetGuard : public QObject
{
    Q_OBJECT
public:
    SheetGuard(QObject *sheet, std::function<bool()> busy, QObject *owner);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::function<bool()> m_busy;
};
