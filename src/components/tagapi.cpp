#include "components/tagapi.h"

#include <QFile>

#include <taglib/id3v1genres.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>

#include <optional>
#include <utility>

namespace {

TagLib::String toTString(const QString &text)
{
    return TagLib::String(text.toStdString(), TagLib::String::UTF8);
}

QString toQString(const TagLib::String &text)
{
    return QString::fromStdString(text.to8Bit(true));
}

// An empty value removes the frame rather than leaving an empty one behind.
void setTextFrame(TagLib::ID3v2::Tag &tag, const char *id, const QStringList &values)
{
    tag.removeFrames(id);
    TagLib::StringList texts;
    bool latin1 = true;
    for (const QString &value : values) {
        if (value.isEmpty())
            continue;
        texts.append(toTString(value));
        latin1 = latin1 && texts.back().isLatin1();
    }
    if (texts.isEmpty())
        return;
    // v2.3 knows no UTF-8, so text outside Latin-1 goes as UTF-16 with a byte-order mark.
    auto *frame =
        new TagLib::ID3v2::TextIdentificationFrame(id, latin1 ? TagLib::String::Latin1 : TagLib::String::UTF16);
    frame->setText(texts);
    tag.addFrame(frame);
}

// TagLib 1.13 calls any readable file a valid MPEG file, text and Ogg included; a frame sync is the real test.
bool isMpeg(TagLib::MPEG::File &file)
{
    return file.isValid() && file.firstFrameOffset() >= 0;
}

} // namespace

struct TagAPI::Pending
{
    QString path;
    std::optional<QString> title;
    std::optional<QString> artist;
    std::optional<QString> album;
    std::optional<int> year;
    std::optional<std::pair<int, int>> track;
    std::optional<QStringList> genres;
};

TagAPI::TagAPI() = default;
TagAPI::~TagAPI() = default;

QStringList TagAPI::getGenreList() const
{
    QStringList names;
    for (const TagLib::String &name : TagLib::ID3v1::genreList())
        names << toQString(name);
    return names;
}

bool TagAPI::examineFile(const QString &path)
{
    // Values set for the previous piece must never reach this one, whatever the outcome here.
    m_pending.reset();
    const QByteArray name = QFile::encodeName(path);
    TagLib::MPEG::File file(name.constData(), false);
    if (!isMpeg(file))
        return false;
    m_pending = std::make_unique<Pending>();
    m_pending->path = path;
    return true;
}

void TagAPI::setTitle(const QString &title)
{
    if (m_pending)
        m_pending->title = title;
}

void TagAPI::setArtist(const QString &artist)
{
    if (m_pending)
        m_pending->artist = artist;
}

void TagAPI::setAlbum(const QString &album)
{
    if (m_pending)
        m_pending->album = album;
}

void TagAPI::setYear(int year)
{
    if (m_pending)
        m_pending->year = year;
}

void TagAPI::setTrack(int track, int totalTracks)
{
    if (m_pending)
        m_pending->track = {track, totalTracks};
}

void TagAPI::setGenreName(const QStringList &genres)
{
    if (m_pending)
        m_pending->genres = genres;
}

bool TagAPI::updateFile()
{
    if (!m_pending)
        return false;
    const QByteArray name = QFile::encodeName(m_pending->path);
    TagLib::MPEG::File file(name.constData(), false);
    if (!isMpeg(file) || file.readOnly())
        return false;
    TagLib::ID3v2::Tag &tag = *file.ID3v2Tag(true);

    if (m_pending->title)
        setTextFrame(tag, "TIT2", {*m_pending->title});
    if (m_pending->artist)
        setTextFrame(tag, "TPE1", {*m_pending->artist});
    if (m_pending->album)
        setTextFrame(tag, "TALB", {*m_pending->album});
    if (m_pending->year) {
        // TagLib keeps the year as TDRC and writes TYER when saving v2.3; 0 removes it.
        tag.setYear(*m_pending->year > 0 ? unsigned(*m_pending->year) : 0);
    }
    if (m_pending->track) {
        const auto [track, total] = *m_pending->track;
        QString text;
        if (track > 0)
            text = total > 0 ? QString::number(track) + u'/' + QString::number(total) : QString::number(track);
        setTextFrame(tag, "TRCK", {text});
    }
    if (m_pending->genres)
        setTextFrame(tag, "TCON", *m_pending->genres);

    return file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v3,
                     TagLib::File::DoNotDuplicate);
}
