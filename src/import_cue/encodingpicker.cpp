#include "import_cue/encodingpicker.h"

#include "core/cue/cuereading.h"
#include "core/encoding/encodingcatalog.h"

#include <QComboBox>
#include <QStandardItemModel>

namespace {

// A heading in the list, shown greyed: the user cannot pick it, and the keys pass over it.
void addHeading(QComboBox *list, const QString &text)
{
    list->addItem(text);
    qobject_cast<QStandardItemModel *>(list->model())->item(list->count() - 1)->setFlags(Qt::NoItemFlags);
}

void addEncoding(QComboBox *list, const QString &name)
{
    list->addItem(name, name);
}

} // namespace

EncodingPicker::EncodingPicker(QComboBox *list, std::function<bool(const velvane::TextEncoding &)> readAgain,
                               QObject *parent)
    : QObject(parent)
    , m_list(list)
    , m_readAgain(std::move(readAgain))
{
    connect(m_list, &QComboBox::activated, this, &EncodingPicker::pick);
}

void EncodingPicker::show(const velvane::CueReading &reading, bool afresh)
{
    if (afresh)
        m_likely = reading.encodingCandidates.isEmpty() ? QStringList{reading.encoding} : reading.encodingCandidates;
    m_readWith = reading.encoding;
    m_list->clear();
    m_list->setEnabled(!reading.encoding.isEmpty());
    if (reading.encoding.isEmpty())
        return;
    addHeading(m_list, QStringLiteral("Likely"));
    for (const QString &name : std::as_const(m_likely))
        addEncoding(m_list, name);
    QLatin1StringView language;
    for (const velvane::TextEncoding &encoding : velvane::textEncodings()) {
        if (encoding.language != language) {
            language = encoding.language;
            addHeading(m_list, QString(language));
        }
        addEncoding(m_list, QString(encoding.name));
    }
    m_list->setCurrentIndex(m_list->findData(reading.encoding));
}

void EncodingPicker::pick(int index)
{
    const velvane::TextEncoding *picked = velvane::findTextEncoding(m_list->itemData(index).toString());
    if (!picked || picked->name == m_readWith)
        return;
    if (!m_readAgain(*picked))
        m_list->setCurrentIndex(m_list->findData(m_readWith));
}
