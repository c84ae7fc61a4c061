#include "import_cue/sheetguard.h"

#include <QKeyEvent>

SheetGuard::SheetGuard(QObject *sheet, std::function<bool()> busy, std::function<void()> onEscape,
                       std::function<void()> onClose, QObject *owner)
    : QObject(owner)
    , m_busy(std::move(busy))
    , m_onEscape(std::move(onEscape))
    , m_onClose(std::move(onClose))
{
    sheet->installEventFilter(this);
}

bool SheetGuard::eventFilter(QObject *, QEvent *event)
{
    if (!m_busy())
        return false;
    if (event->type() == QEvent::Close) {
        event->ignore();
        m_onClose();
        return true;
    }
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        m_onEscape();
        return true;
    }
    return false;
}
