#pragma once

#include "MyTextField/pathkind.h"

#include <QLineEdit>

class MyTextFieldDelegate;

// A path field that takes a file or folder dropped from the file manager, when the item suits the kind its tag
// names: a cue sheet, an audio file or a folder.
class MyTextField : public QLineEdit
{
    Q_OBJECT
    Q_PROPERTY(int tag READ tag WRITE setTag)
public:
    explicit MyTextField(QWidget *parent = nullptr);

    [[nodiscard]] int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }
    [[nodiscard]] PathKind kind() const { return pathKindOfTag(m_tag); }
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
