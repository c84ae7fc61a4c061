#pragma once

#include <QFrame>
#include <QPixmap>

class QMenu;

// Shows an album's cover, scaled to fit with its shape kept, and takes another one: an image file dropped on it,
// or asked for by its context menu, Enter or Space; Delete or Backspace asks for no cover.
class CoverView : public QFrame
{
    Q_OBJECT
public:
    explicit CoverView(QWidget *parent = nullptr);

    // A null picture shows the placeholder text.
    void setPicture(const QPixmap &picture);
    [[nodiscard]] const QPixmap &picture() const { return m_picture; }
    void setPlaceholderText(const QString &text);
    [[nodiscard]] QSize sizeHint() const override;

signals:
    void fileDropped(const QString &path);
    void chooseRequested();
    void clearRequested();

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    QPixmap m_picture;
    QString m_placeholder;
};
