#include "components/tags/vorbiscomment.h"

#include <QtEndian>

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

// Base64 of a scanned cover takes longer than all else in a piece's tags, and every piece of an album carries the same
// cover: the field last made is kept.
QByteArray pictureField(const CoverImage &cover)
{
    static thread_local CoverImage lastCover;
    static thread_local QByteArray lastField;
    if (lastField.isEmpty() || cover.data != lastCover.data || cover.mimeType != lastCover.mimeType ||
        cover.width != lastCover.width || cover.height != lastCover.height) {
        lastCover = cover;
        lastField = "METADATA_BLOCK_PICTURE=" + flacPictureBody(cover).toBase64();
    }
    return lastField;
}

// The comment with one more field behind the others, before the framing bit.
QByteArray withFieldAdded(const TagLib::ByteVector &framed, const QByteArray &field)
{
    QByteArray comment(framed.data(), framed.size() - 1);
    const qsizetype countAt = 4 + qFromLittleEndian<quint32>(comment.constData());
    qToLittleEndian<quint32>(qFromLittleEndian<quint32>(comment.constData() + countAt) + 1, comment.data() + countAt);
    comment.reserve(comment.size() + 4 + field.size() + 1);
    char length[4];
    qToLittleEndian<quint32>(quint32(field.size()), length);
    comment.append(length, 4).append(field).append('\x01');
    return comment;
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
    const TagLib::ByteVector rendered = comment.render(where == VorbisCommentIn::OggPacket);
    if (values.cover && where == VorbisCommentIn::OggPacket)
        return withFieldAdded(rendered, pictureField(*values.cover));
    return QByteArray(rendered.data(), rendered.size());
}

QByteArray flacPictureBody(const CoverImage &cover)
{
    const std::unique_ptr<TagLib::FLAC::Picture> picture(frontCover(cover));
    const TagLib::ByteVector rendered = picture->render();
    return QByteArray(rendered.data(), rendered.size());
}

} // namespace velvane
