#pragma once

#include "core/cue/sheetalbum.h"

#include <QDate>
#include <QString>

#include <optional>

namespace velvane {

// The title, year and genre a cue sheet's album starts with in the window, before the user changes them.
struct AlbumFields
{
    QString title;
    QString year;
    QString genre; // empty: no genre
};

// What every sheet read starts from: the sheet's own TITLE, the year of its REM DATE and its REM GENRE, and where
// it says nothing, the name of its folder, this year and Techno, whatever the album before had.
[[nodiscard]] AlbumFields albumFieldsForSheet(const QDate &today, const QString &folderName = {},
                                              const SheetAlbum &sheet = {});

// A year as the window takes it: one to four digits, or nothing for no year tag. The value for the tag, 0 meaning
// none; nothing when the text is no year at all.
[[nodiscard]] std::optional<int> yearFromText(const QString &text);

} // namespace velvane
