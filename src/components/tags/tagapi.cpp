#include "components/tags/tagapi.h"

#include "components/tags/frontrewrite.h"
#include "components/tags/id3front.h"
#include "components/tags/tagvalues.h"
#include "components/tags/vorbisfront.h"

#include <QLoggingCategory>

#include <taglib/id3v1genres.h>

using namespace Qt::StringLiterals;
using namespace velvane;

Q_LOGGING_CATEGORY(lcTags, "velvane.tags")

struct TagAPI::Pending
{
    QString path;
    FileStamp stamp;
    bool ogg = false;
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
    const bool ogg = isOggVorbisFile(path);
    if (!ogg && !isMpegFile(path)) {
        m_error = u"The piece holds neither MP3 nor Ogg Vorbis audio."_s;
        return false;
    }
    m_pending = std::make_unique<Pending>(Pending{path, *stamp, ogg, {}});
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

bool TagAPI::updateFile()
{
    m_error.clear();
    if (!m_pending) {
        m_error = u"No piece was examined."_s;
        return false;
    }
    const Pending &piece = *m_pending;
    const auto plan = piece.ogg ? planVorbisFront(piece.path, piece.values) : planId3Front(piece.path, piece.values);
    const RewriteResult result =
        plan ? rewriteFront(piece.path, piece.stamp, *plan) : RewriteResult{false, u"Its headers could not be read."_s};
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
