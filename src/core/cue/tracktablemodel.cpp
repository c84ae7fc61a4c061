#include "core/cue/tracktablemodel.h"

using namespace Qt::StringLiterals;

namespace velvane {

namespace {

const QStringList &identifiers()
{
    static const QStringList ids{u"nr"_s, u"performer"_s, u"-"_s, u"title"_s, u"index"_s};
    return ids;
}

bool isComputed(const QString &identifier)
{
    return identifier == u"nr"_s || identifier == u"-"_s;
}

} // namespace

TrackTableModel::TrackTableModel(TrackList &tracks, QObject *parent)
    : QAbstractTableModel(parent)
    , m_tracks(tracks)
{}

QStringList TrackTableModel::columnIdentifiers()
{
    return identifiers();
}

QString TrackTableModel::identifier(int column) const
{
    return identifiers().value(column);
}

int TrackTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_tracks.size());
}

int TrackTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(identifiers().size());
}

QVariant TrackTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_tracks.size() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    const QString id = identifier(index.column());
    if (id == u"-"_s)
        return u" - "_s;
    if (id == u"nr"_s)
        return QString::number(index.row() + 1);
    return m_tracks.at(index.row()).value(id);
}

bool TrackTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.row() >= m_tracks.size() || role != Qt::EditRole)
        return false;
    m_tracks[index.row()].insert(identifier(index.column()), value.toString());
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

Qt::ItemFlags TrackTableModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && !isComputed(identifier(index.column())))
        f |= Qt::ItemIsEditable;
    return f;
}

QVariant TrackTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const QStringList headings{u"#"_s, u"Performer"_s, QString(), u"Title"_s, u"Start"_s};
    return headings.value(section);
}

void TrackTableModel::reload()
{
    beginResetModel();
    endResetModel();
}

} // namespace velvane
