#pragma once

#include "core/cover/coverimage.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

namespace velvane {

// Gains and peaks as rippers write them ("-7.20 dB", "0.988").
struct ReplayGainValues
{
    QString trackGain;
    QString trackPeak;
    QString albumGain;
    QString albumPeak;
};

// What the setters asked for; a value never set leaves whatever the piece holds for it. The library fields below
// the first six are written where they are not empty (or not 0, or true).
struct TagValues
{
    std::optional<QString> title;
    std::optional<QString> artist;
    std::optional<QString> album;
    std::optional<int> year;                  // 0 or less: no year
    std::optional<std::pair<int, int>> track; // number (0 for a pregap piece) and total
    std::optional<QStringList> genres;

    QString albumArtist;
    bool compilation = false;
    QString composer;
    QString isrc;
    QString barcode;
    std::pair<int, int> disc{0, 0}; // number and total; 0: none
    QString comment;
    ReplayGainValues replayGain;
    std::optional<CoverImage> cover; // the front cover
};

} // namespace velvane
