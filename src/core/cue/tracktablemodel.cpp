#include "core/cue/tracktablemodel.h"

#include <QFileInfo>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace velvane {

namespace {

const QStringList &identifiers()
{
    static const QStringList ids{u"nr"_s,    u"performer"_s, u"-"_s,          u"title"_s,
                                 u"index"_s, u"file"_s,      u"songwriter"_s, u"isrc"_s};
    return ids;
}

bool isComputed(const QString &identifier)
{
    return identifier == u"nr"_s || identifier == u"-"_s;
}

// The file comes from the sheet's FILE line; it is shown, not edited here.
bool isEditable(const QString &identifier)
{
    return !isComputed(identifier) && identifier != u"file"_s;
}

} // namespace

TrackTableModel::TrackTableModel(TrackList &tracks, QObject *parent)
    : QAbstractTableModel(parent)
    , m_tracks(tracks)
{}

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
    if (!index.isValid() || index.row() >= m_tracks.size())
        return {};
    const QString id = identifier(index.column());
    const QString value = m_tracks.at(index.row()).value(id);
    // A cell cut short by its column's width is shown whole on hovering.
    if (role == Qt::ToolTipRole)
        return isComputed(id) || value.isEmpty() ? QVariant() : QVariant(value);
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    if (id == u"-"_s)
        return u" - "_s;
    if (id == u"nr"_s)
        return QString::number(index.row() + 1);
    if (id == u"file"_s && role == Qt::DisplayRole)
        return QFileInfo(value).fileName();
    return value;
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
    // The separator column holds nothing to reach: the keys pass over it.
    if (identifier(index.column()) == u"-"_s)
        f &= ~Qt::ItemIsEnabled;
    if (index.isValid() && isEditable(identifier(index.column())))
        f |= Qt::ItemIsEditable;
    return f;
}

QVariant TrackTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const QStringList headings{u"#"_s,     u"Performer"_s, QString(),     u"Title"_s,
                                      u"Start"_s, u"File"_s,      u"Composer"_s, u"ISRC"_s};
    return headings.value(section);
}

bool TrackTableModel::isFilled(int column) const
{
    const QString id = identifier(column);
    return std::any_of(m_tracks.cbegin(), m_tracks.cend(),
                       [&id](const TrackEntry &track) { return !track.value(id).isEmpty(); });
}

void TrackTableModel::reload()
{
    beginResetModel();
    endResetModel();
}

} // namespace velvane
