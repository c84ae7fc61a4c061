#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QComboBox;

namespace velvane {
struct CueReading;
struct TextEncoding;
} // namespace velvane

// The list of encodings a cue sheet can be read with: the ones detection found likely first, then every encoding
// under its language, the one the sheet was read with selected.
class EncodingPicker : public QObject
{
    Q_OBJECT
public:
    // readAgain is asked to read the sheet with the encoding the user picked; when it does not, the list goes back
    // to the encoding the sheet was read with.
    EncodingPicker(QComboBox *list, std::function<bool(const velvane::TextEncoding &)> readAgain, QObject *parent);

    // A sheet read afresh brings its own likely encodings; read again with a picked one, it keeps those of its
    // first read.
    void show(const velvane::CueReading &reading, bool afresh);

private:
    void pick(int index);

    QComboBox *m_list;
    std::function<bool(const velvane::TextEncoding &)> m_readAgain;
    QStringList m_likely; // what detection found for the current sheet, most likely first
    QString m_readWith;   // what the current sheet was read with
};
