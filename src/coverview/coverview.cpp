#include "coverview/coverview.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QStyle>

namespace {

// The first local file a drag carries; empty for a web address or text.
QString droppedFile(const QMimeData *mime)
{
    if (!mime || !mime->hasUrls() || mime->urls().isEmpty())
        return {};
    const QUrl url = mime->urls().constFirst();
    return url.isLocalFile() ? url.toLocalFile() : QString();
}

} // namespace

CoverView::CoverView(QWidget *parent)
    : QFrame(parent)
{
    setFrameShape(QFrame::StyledPanel);
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void CoverView::setPicture(const QPixmap &picture)
{
    m_picture = picture;
    update();
}

void CoverView::setPlaceholderText(const QString &text)
{
    m_placeholder = text;
    update();
}

QSize CoverView::sizeHint() const
{
    // As tall as two lines of buttons beside it, square.
    const int side = 4 * fontMetrics().height() + 2 * frameWidth();
    return {side, side};
}

void CoverView::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect area = contentsRect().adjusted(2, 2, -2, -2);
    if (m_picture.isNull()) {
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(area, Qt::AlignCenter | Qt::TextWordWrap, m_placeholder);
    } else {
        const qreal ratio = devicePixelRatioF();
        QPixmap scaled = m_picture.scaled(area.size() * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        scaled.setDevicePixelRatio(ratio);
        const QSize shown = scaled.deviceIndependentSize().toSize();
        painter.drawPixmap(QStyle::alignedRect(layoutDirection(), Qt::AlignCenter, shown, area), scaled);
    }
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.drawRect(rect().adjusted(1, 1, -1, -1));
    }
}

void CoverView::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        emit chooseRequested();
        return;
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
        emit clearRequested();
        return;
    default:
        QFrame::keyPressEvent(event);
    }
}

void CoverView::mouseDoubleClickEvent(QMouseEvent *event)
{
    Q_UNUSED(event);
    emit chooseRequested();
}

void CoverView::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    menu.addAction(QStringLiteral("Choose Image…"), this, &CoverView::chooseRequested);
    QAction *clear = menu.addAction(QStringLiteral("No Cover"), this, &CoverView::clearRequested);
    clear->setEnabled(!m_picture.isNull());
    menu.exec(event->globalPos());
}

void CoverView::dragEnterEvent(QDragEnterEvent *event)
{
    dragMoveEvent(event);
}

void CoverView::dragMoveEvent(QDragMoveEvent *event)
{
    if (droppedFile(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void CoverView::dropEvent(QDropEvent *event)
{
    const QString path = droppedFile(event->mimeData());
    if (path.isEmpty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    emit fileDropped(path);
}
