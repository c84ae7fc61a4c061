#pragma once

#include "components/tags/tagvalues.h"

#include <QString>
#include <QStringList>

#include <memory>

// Writes tags into MP3 pieces (ID3v2.3), Ogg Vorbis and FLAC pieces (Vorbis comments) and WAV pieces (an ID3v2.3
// chunk and RIFF INFO). One object serves a whole job:
// examineFile() starts afresh for each piece, the setters collect values, and updateFile() writes them.
class TagAPI
{
public:
    TagAPI(); // made without a genre list of its own
    ~TagAPI();
    TagAPI(const TagAPI &) = delete;
    TagAPI &operator=(const TagAPI &) = delete;

    // The ID3v1 genre names.
    [[nodiscard]] QStringList getGenreList() const;

    // True when path is a regular file holding MP3, Ogg Vorbis, FLAC or WAV audio, told by its content; it becomes the
    // file that the setters and updateFile() act on.
    [[nodiscard]] bool examineFile(const QString &path);

    void setTitle(const QString &title);
    void setArtist(const QString &artist);
    void setAlbum(const QString &album);
    void setYear(int year);                    // 0: no year
    void setTrack(int track, int totalTracks); // track 0 is a pregap piece
    void setGenreName(const QStringList &genres);
    // What music libraries file albums by; empty texts, 0 and false write nothing.
    void setAlbumArtist(const QString &albumArtist);
    void setCompilation(bool compilation);
    void setComposer(const QString &composer);
    void setIsrc(const QString &isrc);
    void setBarcode(const QString &barcode);
    void setDisc(int disc, int totalDiscs);
    void setComment(const QString &comment);
    void setReplayGain(const velvane::ReplayGainValues &replayGain);
    void setCover(const velvane::CoverImage &cover); // the front cover

    // Writes what the setters set into the examined file, passing over its audio once at most (a copy beside it
    // that then takes its name), never twice. True only when the tags stand in the file and the audio behind them
    // reads back unchanged. False leaves the file byte for byte as it was, also when the file system is full or
    // the piece was replaced since examineFile().
    [[nodiscard]] bool updateFile();

    // Why the last examineFile() or updateFile() failed, in user words.
    [[nodiscard]] QString errorString() const;

private:
    struct Pending;
    std::unique_ptr<Pending> m_pending;
    QString m_error;
};
