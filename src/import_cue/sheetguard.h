#pragma once

#include <QObject>

#include <functional>

// Keeps a sheet on screen while busy() holds: Escape and the window's close button then call the given handlers
// instead of closing it. Owned by whoever answers busy(), so it never outlives what it asks.
class SheetGuard : public QObject
{
    Q_OBJECT
public:
    SheetGuard(QObject *sheet, std::function<bool()> busy, std::function<void()> onEscape,
               std::function<void()> onClose, QObject *owner);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::function<bool()> m_busy;
    std::function<void()> m_onEscape;
    std::function<void()> m_onClose;
};
