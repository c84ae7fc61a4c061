#pragma once

#include "core/cue/trackentry.h"

#include <QAbstractTableModel>
#include <QStringList>

namespace velvane {

// Serves a track list to a table view. Columns are known by identifier: "nr" and "-" are computed,
// every other identifier is a TrackEntry key, and an edit is stored under it exactly as typed.
class TrackTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit TrackTableModel(TrackList &tracks, QObject *parent = nullptr);

    // The audio file each track is cut from, by name; worth showing only for a sheet of several files.
    static constexpr int kFileColumn = 5;
    // What the sheet's SONGWRITER and ISRC lines give each track; worth showing only when some track has one.
    static constexpr int kComposerColumn = 6;
    static constexpr int kIsrcColumn = 7;

    [[nodiscard]] QString identifier(int column) const;

    [[nodiscard]] int rowCount(const QModelIndex &parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex &parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    [[nodiscard]] Qt::ItemFlags flags(const QModelIndex &index) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role = Qt::DisplayRole) const override;

    // True when some track holds a value under the column's identifier.
    [[nodiscard]] bool isFilled(int column) const;

    // The list was replaced wholesale: views ask for every row again.
    void reload();

private:
    TrackList &m_tracks;
};

} // namespace velvane
