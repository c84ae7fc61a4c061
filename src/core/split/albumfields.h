#pragma once

#include <QDate>
#include <QString>

#include <optional>

namespace velvane {

// The year and genre a cue sheet's album starts with in the window, before the user changes them.
struct AlbumFields
{
    QString year;
    QString genre; // empty: no genre
};

// What every sheet read starts from: this year and Techno, whatever the album before had.
[[nodiscard]] AlbumFields albumFieldsForSheet(const QDate &today);

// A year as the window takes it: one to four digits, or nothing for no year tag. The value for the tag, 0 meaning
// none; nothing when the text is no year at all.
[[nodiscard]] std::optional<int> yearFromText(const QString &text);

} // namespace velvane
