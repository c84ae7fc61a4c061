#include "MyTextField/mytextfield.h"

#include "core/audio/audioformat.h"
#include "MyTextField/mytextfielddelegate.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>

namespace {

// A drag from a file manager carries local file URLs; a web address alone is no file drag.
bool carriesFileNames(const QMimeData *mime)
{
    if (!mime || !mime->hasUrls())
        return false;
    const QList<QUrl> urls = mime->urls();
    return !urls.isEmpty() && urls.constFirst().isLocalFile();
}

} // namespace

MyTextField::MyTextField(QWidget *parent)
    : QLineEdit(parent)
{
    setAcceptDrops(true);
}

void MyTextField::dragEnterEvent(QDragEnterEvent *event)
{
    dragMoveEvent(event);
}

void MyTextField::dragMoveEvent(QDragMoveEvent *event)
{
    if (carriesFileNames(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void MyTextField::dropEvent(QDropEvent *event)
{
    // The drop always counts as done, accepted or not; QLineEdit's own drop would insert the URL text.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (!carriesFileNames(event->mimeData()))
        return;
    takeDroppedPath(event->mimeData()->urls().constFirst().toLocalFile());
}

void MyTextField::takeDroppedPath(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return;
    if (info.isDir()) {
        if (kind() == PathKind::Destination)
            setText(path);
        return;
    }
    if (kind() == PathKind::CueSheet &&
        (path.endsWith(QLatin1String(".cue")) || velvane::audioFormatOfName(path) == velvane::AudioFormat::Flac)) {
        setText(path);
        if (m_delegate)
            m_delegate->controlTextDidChange(QStringLiteral("newCue"));
    }
    if (kind() == PathKind::AudioFile && velvane::audioFormatOfName(path)) {
        setText(path);
        if (m_delegate)
            m_delegate->audioFileDropped(path);
    }
}
