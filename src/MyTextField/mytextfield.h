#pragma once

#include <QLineEdit>

class MyTextFieldDelegate;

// A path field that takes a file or folder dropped from the file manager, when the item suits its tag:
// 1 a cue sheet, 2 an audio file, 3 a folder.
class MyTextField : public QLineEdit
{
    Q_OBJECT
    Q_PROPERTY(int tag READ tag WRITE setTag)
public:
    explicit MyTextField(QWidget *parent = nullptr);

    [[nodiscard]] int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }
    void setDelegate(MyTextFieldDelegate *delegate) { m_delegate = delegate; }

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void takeDroppedPath(const QString &path);

    int m_tag = 0;
    MyTextFieldDelegate *m_delegate = nullptr;
};
