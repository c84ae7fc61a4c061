#include "import_cue/sheetguard.h"

#include <QKeyEvent>

SheetGuard::SheetGuard(QObject *sheet, std::function<bool()> busy, QObject *owner)
    : QObject(owner)
    , m_busy(std::move(busy))
{
    sheet->installEventFilter(this);
}

bool SheetGuard::eventFilter(QObject *, QEvent *event)
{
    if (!m_busy())
        return false;
    if (event->type() == QEvent::Close) {
        event->ignore();
        return true;
    }
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape)
        return true;
    return false;
}
