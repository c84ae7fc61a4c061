#include "components/tags/tagapi.h"

#include "components/tags/flacfront.h"
#include "components/tags/frontrewrite.h"
#include "components/tags/id3front.h"
#include "components/tags/tagvalues.h"
#include "components/tags/vorbisfront.h"
#include "components/tags/wavtags.h"

#include <QLoggingCategory>

#include <taglib/id3v1genres.h>

using namespace Qt::StringLiterals;
using namespace velvane;

Q_LOGGING_CATEGORY(lcTags, "velvane.tags")

namespace {

enum class PieceFormat
{
    Mp3,
    OggVorbis,
    Flac,
    Wav
};

// Told by content: a piece's name may say anything.
std::optional<PieceFormat> formatOf(const QString &path)
{
    if (isOggVorbisFile(path))
        return PieceFormat::OggVorbis;
    if (isFlacFile(path))
        return PieceFormat::Flac;
    if (isWavFile(path))
        return PieceFormat::Wav;
    if (isMpegFile(path))
        return PieceFormat::Mp3;
    return std::nullopt;
}

RewriteResult writeTags(const QString &path, const FileStamp &stamp, PieceFormat format, const TagValues &values)
{
    std::optional<FrontPlan> plan;
    switch (format) {
    case PieceFormat::Wav:
        return writeWavTags(path, stamp, values);
    case PieceFormat::Mp3:
        plan = planId3Front(path, values);
        break;
    case PieceFormat::OggVorbis:
        plan = planVorbisFront(path, values);
        break;
    case PieceFormat::Flac:
        plan = planFlacFront(path, values);
        break;
    }
    return plan ? rewriteFront(path, stamp, *plan) : RewriteResult{false, u"Its headers could not be read."_s};
}

} // namespace

struct TagAPI::Pending
{
    QString path;
    FileStamp stamp;
    PieceFormat format = PieceFormat::Mp3;
    TagValues values;
};

TagAPI::TagAPI() = default;
TagAPI::~TagAPI() = default;

QStringList TagAPI::getGenreList() const
{
    QStringList names;
    for (const TagLib::String &name : TagLib::ID3v1::genreList())
        names << QString::fromStdString(name.to8Bit(true));
    return names;
}

bool TagAPI::examineFile(const QString &path)
{
    // Values set for the previous piece must never reach this one, whatever the outcome here.
    m_pending.reset();
    m_error.clear();
    const auto stamp = stampOf(path);
    if (!stamp) {
        m_error = u"The piece is missing or is not a plain file."_s;
        return false;
    }
    const auto format = formatOf(path);
    if (!format) {
        m_error = u"The piece holds no MP3, Ogg Vorbis, FLAC or WAV audio."_s;
        return false;
    }
    m_pending = std::make_unique<Pending>(Pending{path, *stamp, *format, {}});
    return true;
}

void TagAPI::setTitle(const QString &title)
{
    if (m_pending)
        m_pending->values.title = title;
}

void TagAPI::setArtist(const QString &artist)
{
    if (m_pending)
        m_pending->values.artist = artist;
}

void TagAPI::setAlbum(const QString &album)
{
    if (m_pending)
        m_pending->values.album = album;
}

void TagAPI::setYear(int year)
{
    if (m_pending)
        m_pending->values.year = year;
}

void TagAPI::setTrack(int track, int totalTracks)
{
    if (m_pending)
        m_pending->values.track = {track, totalTracks};
}

void TagAPI::setGenreName(const QStringList &genres)
{
    if (m_pending)
        m_pending->values.genres = genres;
}

void TagAPI::setAlbumArtist(const QString &albumArtist)
{
    if (m_pending)
        m_pending->values.albumArtist = albumArtist;
}

void TagAPI::setCompilation(bool compilation)
{
    if (m_pending)
        m_pending->values.compilation = compilation;
}

void TagAPI::setComposer(const QString &composer)
{
    if (m_pending)
        m_pending->values.composer = composer;
}

void TagAPI::setIsrc(const QString &isrc)
{
    if (m_pending)
        m_pending->values.isrc = isrc;
}

void TagAPI::setBarcode(const QString &barcode)
{
    if (m_pending)
        m_pending->values.barcode = barcode;
}

void TagAPI::setDisc(int disc, int totalDiscs)
{
    if (m_pending)
        m_pending->values.disc = {disc, totalDiscs};
}

void TagAPI::setComment(const QString &comment)
{
    if (m_pending)
        m_pending->values.comment = comment;
}

void TagAPI::setReplayGain(const ReplayGainValues &replayGain)
{
    if (m_pending)
        m_pending->values.replayGain = replayGain;
}

void TagAPI::setCover(const CoverImage &cover)
{
    if (m_pending)
        m_pending->values.cover = cover;
}

bool TagAPI::updateFile()
{
    m_error.clear();
    if (!m_pending) {
        m_error = u"No piece was examined."_s;
        return false;
    }
    const Pending &piece = *m_pending;
    const RewriteResult result = writeTags(piece.path, piece.stamp, piece.format, piece.values);
    if (!result.ok) {
        m_error = result.error;
        qCWarning(lcTags) << "could not write the tags of" << piece.path << ":" << m_error;
        return false;
    }
    // The piece is a new file now; a second updateFile() must take it for the examined one.
    if (const auto stamp = stampOf(piece.path))
        m_pending->stamp = *stamp;
    return true;
}

QString TagAPI::errorString() const
{
    return m_error;
}
