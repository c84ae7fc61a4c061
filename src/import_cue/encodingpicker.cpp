#include "import_cue/import_cue.h"

#include "core/cue/cuereading.h"
#include "core/cue/tracktablemodel.h"
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

// The readings detection found likely come first, then every encoding under its language.
void import_cue::showEncoding(const velvane::CueReading &reading)
{
    m_readEncoding = reading.encoding;
    m_encoding->clear();
    m_encoding->setEnabled(!reading.encoding.isEmpty());
    if (reading.encoding.isEmpty())
        return;
    addHeading(m_encoding, QStringLiteral("Likely"));
    for (const QString &name : std::as_const(m_likelyEncodings))
        addEncoding(m_encoding, name);
    QLatin1StringView language;
    for (const velvane::TextEncoding &encoding : velvane::textEncodings()) {
        if (encoding.language != language) {
            language = encoding.language;
            addHeading(m_encoding, QString(language));
        }
        addEncoding(m_encoding, QString(encoding.name));
    }
    m_encoding->setCurrentIndex(m_encoding->findData(reading.encoding));
}

void import_cue::pickEncoding(int index)
{
    const velvane::TextEncoding *picked = velvane::findTextEncoding(m_encoding->itemData(index).toString());
    if (!picked || !_filePath || picked->name == m_readEncoding)
        return;
    commitOpenEdit();
    if (_tabData != m_readTracks) {
        const QString name = QString(picked->name);
        const QString message = QStringLiteral("Reading the cue sheet again as %1 replaces your edits in the "
                                               "table with the sheet's own text.")
                                    .arg(name);
        if (m_services.alert(
                {QStringLiteral("Attention!"), message, {QStringLiteral("Read Again"), QStringLiteral("Cancel")}}) !=
            0) {
            m_encoding->setCurrentIndex(m_encoding->findData(m_readEncoding));
            return;
        }
    }
    applyCueReading(*_filePath, picked);
}
