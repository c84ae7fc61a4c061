#include "components/tags/vorbiscomment.h"

#include <taglib/flacpicture.h>
#include <taglib/xiphcomment.h>

using namespace Qt::StringLiterals;

namespace velvane {

namespace {

TagLib::String toTString(const QString &text)
{
    return TagLib::String(text.toStdString(), TagLib::String::UTF8);
}

void setField(TagLib::Ogg::XiphComment &comment, const char *key, const QStringList &values)
{
    comment.removeFields(key);
    for (const QString &value : values) {
        if (!value.isEmpty())
            comment.addField(key, toTString(value), false);
    }
}

QString numberOrNone(int number)
{
    return number > 0 ? QString::number(number) : QString();
}

TagLib::FLAC::Picture *frontCover(const CoverImage &cover)
{
    auto *picture = new TagLib::FLAC::Picture;
    picture->setType(TagLib::FLAC::Picture::FrontCover);
    picture->setMimeType(toTString(cover.mimeType));
    picture->setWidth(cover.width);
    picture->setHeight(cover.height);
    picture->setColorDepth(24);
    picture->setData(TagLib::ByteVector(cover.data.constData(), uint(cover.data.size())));
    return picture;
}

} // namespace

QByteArray vorbisCommentWith(const QByteArray &old, const TagValues &values, VorbisCommentIn where)
{
    TagLib::Ogg::XiphComment comment(TagLib::ByteVector(old.constData(), uint(old.size())));
    comment.removeAllFields();
    comment.removeAllPictures();
    if (values.title)
        setField(comment, "TITLE", {*values.title});
    if (values.artist)
        setField(comment, "ARTIST", {*values.artist});
    if (values.album)
        setField(comment, "ALBUM", {*values.album});
    if (values.year)
        setField(comment, "DATE", {numberOrNone(*values.year)});
    if (values.track) {
        const auto [track, total] = *values.track;
        setField(comment, "TRACKNUMBER", {track >= 0 ? QString::number(track) : QString()});
        setField(comment, "TRACKTOTAL", {numberOrNone(total)});
    }
    if (values.genres)
        setField(comment, "GENRE", *values.genres);
    setField(comment, "ALBUMARTIST", {values.albumArtist});
    setField(comment, "COMPILATION", {values.compilation ? u"1"_s : QString()});
    setField(comment, "COMPOSER", {values.composer});
    setField(comment, "ISRC", {values.isrc});
    setField(comment, "BARCODE", {values.barcode});
    setField(comment, "DISCNUMBER", {numberOrNone(values.disc.first)});
    setField(comment, "DISCTOTAL", {values.disc.first > 0 ? numberOrNone(values.disc.second) : QString()});
    setField(comment, "COMMENT", {values.comment});
    setField(comment, "REPLAYGAIN_TRACK_GAIN", {values.replayGain.trackGain});
    setField(comment, "REPLAYGAIN_TRACK_PEAK", {values.replayGain.trackPeak});
    setField(comment, "REPLAYGAIN_ALBUM_GAIN", {values.replayGain.albumGain});
    setField(comment, "REPLAYGAIN_ALBUM_PEAK", {values.replayGain.albumPeak});
    if (values.cover && where == VorbisCommentIn::OggPacket)
        comment.addPicture(frontCover(*values.cover));
    const TagLib::ByteVector rendered = comment.render(where == VorbisCommentIn::OggPacket);
    return QByteArray(rendered.data(), rendered.size());
}

QByteArray flacPictureBody(const CoverImage &cover)
{
    const std::unique_ptr<TagLib::FLAC::Picture> picture(frontCover(cover));
    const TagLib::ByteVector rendered = picture->render();
    return QByteArray(rendered.data(), rendered.size());
}

} // namespace velvane
