#pragma once

#include <QString>
#include <QStringList>

#include <memory>

// Writes ID3 tags into MP3 files. One object serves a whole job: examineFile() starts afresh for each piece,
// the setters collect values, and updateFile() writes them.
class TagAPI
{
public:
    TagAPI(); // made without a genre list of its own
    ~TagAPI();
    TagAPI(const TagAPI &) = delete;
    TagAPI &operator=(const TagAPI &) = delete;

    // The ID3v1 genre names.
    [[nodiscard]] QStringList getGenreList() const;

    // True when path is a valid MPEG file; it becomes the file that the setters and updateFile() act on.
    [[nodiscard]] bool examineFile(const QString &path);

    void setTitle(const QString &title);
    void setArtist(const QString &artist);
    void setAlbum(const QString &album);
    void setYear(int year);
    void setTrack(int track, int totalTracks);
    void setGenreName(const QStringList &genres);

    // Writes what the setters set into the examined file; false when nothing could be written.
    bool updateFile();

private:
    struct Pending;
    std::unique_ptr<Pending> m_pending;
};
