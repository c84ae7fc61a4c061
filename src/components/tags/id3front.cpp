#include "components/tags/id3front.h"

#include "core/audio/id3size.h"

#include <QFile>
#include <QtEndian>

#include <taglib/attachedpictureframe.h>
#include <taglib/commentsframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace velvane {

namespace {

TagLib::String toTString(const QString &text)
{
    return TagLib::String(text.toStdString(), TagLib::String::UTF8);
}

// v2.3 knows no UTF-8, so text outside Latin-1 goes as UTF-16 with a byte-order mark.
TagLib::String::Type encodingFor(const TagLib::StringList &texts)
{
    for (const TagLib::String &text : texts) {
        if (!text.isLatin1())
            return TagLib::String::UTF16;
    }
    return TagLib::String::Latin1;
}

TagLib::StringList nonEmpty(const QStringList &values)
{
    TagLib::StringList texts;
    for (const QString &value : values) {
        if (!value.isEmpty())
            texts.append(toTString(value));
    }
    return texts;
}

// An empty value removes the frame rather than leaving an empty one behind.
void setTextFrame(TagLib::ID3v2::Tag &tag, const char *id, const QStringList &values)
{
    tag.removeFrames(id);
    const TagLib::StringList texts = nonEmpty(values);
    if (texts.isEmpty())
        return;
    auto *frame = new TagLib::ID3v2::TextIdentificationFrame(id, encodingFor(texts));
    frame->setText(texts);
    tag.addFrame(frame);
}

// A TXXX frame, as players look up what ID3 has no frame of its own for (ReplayGain, the barcode).
void addUserText(TagLib::ID3v2::Tag &tag, const char *description, const QString &value)
{
    const TagLib::StringList texts = nonEmpty({value});
    if (!texts.isEmpty())
        tag.addFrame(new TagLib::ID3v2::UserTextIdentificationFrame(description, texts, encodingFor(texts)));
}

void addComment(TagLib::ID3v2::Tag &tag, const QString &value)
{
    const TagLib::StringList texts = nonEmpty({value});
    if (texts.isEmpty())
        return;
    auto *frame = new TagLib::ID3v2::CommentsFrame(encodingFor(texts));
    frame->setLanguage("eng");
    frame->setText(texts.front());
    tag.addFrame(frame);
}

void addFrontCover(TagLib::ID3v2::Tag &tag, const CoverImage &cover)
{
    auto *frame = new TagLib::ID3v2::AttachedPictureFrame;
    frame->setTextEncoding(TagLib::String::Latin1);
    frame->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
    frame->setMimeType(toTString(cover.mimeType));
    frame->setPicture(TagLib::ByteVector(cover.data.constData(), uint(cover.data.size())));
    tag.addFrame(frame);
}

QString numberOfTotal(int number, int total)
{
    if (number < 0)
        return {};
    return total > 0 ? QString::number(number) + u'/' + QString::number(total) : QString::number(number);
}

void applyLibraryValues(TagLib::ID3v2::Tag &tag, const TagValues &values)
{
    setTextFrame(tag, "TPE2", {values.albumArtist});
    // iTunes' own frame, which most libraries read as the compilation flag.
    setTextFrame(tag, "TCMP", {values.compilation ? u"1"_s : QString()});
    setTextFrame(tag, "TCOM", {values.composer});
    setTextFrame(tag, "TSRC", {values.isrc});
    setTextFrame(tag, "TPOS",
                 {values.disc.first > 0 ? numberOfTotal(values.disc.first, values.disc.second) : QString()});
    addUserText(tag, "BARCODE", values.barcode);
    addComment(tag, values.comment);
    addUserText(tag, "REPLAYGAIN_TRACK_GAIN", values.replayGain.trackGain);
    addUserText(tag, "REPLAYGAIN_TRACK_PEAK", values.replayGain.trackPeak);
    addUserText(tag, "REPLAYGAIN_ALBUM_GAIN", values.replayGain.albumGain);
    addUserText(tag, "REPLAYGAIN_ALBUM_PEAK", values.replayGain.albumPeak);
    if (values.cover)
        addFrontCover(tag, *values.cover);
}

// Where the audio starts: after every ID3v2 tag at the very front.
qint64 leadingTagsEnd(QFile &file)
{
    qint64 at = 0;
    for (;;) {
        file.seek(at);
        const auto size = id3v2TagSize(file.read(id3v2HeaderSize));
        if (!size)
            return at;
        at += *size;
    }
}

// Where the audio ends: before an ID3v1 tag and an APE tag at the very end.
qint64 trailingTagsStart(QFile &file)
{
    qint64 end = file.size();
    file.seek(end - 128);
    if (end >= 128 && file.read(3) == "TAG")
        end -= 128;
    constexpr qint64 apeFooterSize = 32;
    file.seek(end - apeFooterSize);
    const QByteArray footer = end >= apeFooterSize ? file.read(apeFooterSize) : QByteArray();
    if (footer.startsWith("APETAGEX")) {
        const qint64 size = qFromLittleEndian<quint32>(footer.constData() + 12);
        const bool header = qFromLittleEndian<quint32>(footer.constData() + 20) & 0x80000000u;
        end -= size + (header ? apeFooterSize : 0);
    }
    return end;
}

// The end of the last frame: TagLib adds padding of its own, which gives way to ours.
qint64 framesEnd(const QByteArray &tag)
{
    qint64 at = id3v2HeaderSize;
    while (at + id3v2HeaderSize <= tag.size() && tag[at] != 0)
        at += id3v2HeaderSize + qFromBigEndian<quint32>(tag.constData() + at + 4);
    return std::min<qint64>(at, tag.size());
}

std::optional<QByteArray> padded(const QByteArray &frames, qint64 size)
{
    if (frames.isEmpty()) // no frames, no tag: as TagLib strips an empty one
        return size == 0 ? std::optional(QByteArray()) : std::nullopt;
    const qint64 body = size - id3v2HeaderSize;
    if (size < frames.size() || body >= (1 << 28))
        return std::nullopt;
    QByteArray tag = frames + QByteArray(size - frames.size(), '\0');
    // TagLib copies an old tag's flags; what it renders has no footer, extended header or unsynchronisation.
    tag[5] = 0;
    setId3v2BodySize(tag, body);
    return tag;
}

} // namespace

void applyId3Values(TagLib::ID3v2::Tag &tag, const TagValues &values)
{
    if (values.title)
        setTextFrame(tag, "TIT2", {*values.title});
    if (values.artist)
        setTextFrame(tag, "TPE1", {*values.artist});
    if (values.album)
        setTextFrame(tag, "TALB", {*values.album});
    if (values.year) {
        // TagLib keeps the year as TDRC and writes TYER for v2.3; 0 removes it.
        tag.setYear(*values.year > 0 ? unsigned(*values.year) : 0);
    }
    if (values.track)
        setTextFrame(tag, "TRCK", {numberOfTotal(values.track->first, values.track->second)});
    if (values.genres)
        setTextFrame(tag, "TCON", *values.genres);
    applyLibraryValues(tag, values);
}

bool isMpegFile(const QString &path)
{
    TagLib::MPEG::File file(QFile::encodeName(path).constData(), false);
    // TagLib 1.13 calls any readable file a valid MPEG file, text and Ogg included; a frame sync is the real test.
    return file.isValid() && file.firstFrameOffset() >= 0;
}

std::optional<FrontPlan> planId3Front(const QString &path, const TagValues &values)
{
    QFile raw(path);
    if (!raw.open(QIODevice::ReadOnly))
        return std::nullopt;
    FrontPlan plan;
    plan.audioBegin = leadingTagsEnd(raw);
    plan.audioEnd = trailingTagsStart(raw);

    TagLib::MPEG::File file(QFile::encodeName(path).constData(), false);
    if (!file.isValid())
        return std::nullopt;
    // The piece's tag is wholly ours: what stood in front (the room the splitter kept for it) is replaced.
    const auto tag = std::make_unique<TagLib::ID3v2::Tag>();
    applyId3Values(*tag, values);
    QByteArray frames;
    if (!tag->isEmpty()) {
        const TagLib::ByteVector rendered = tag->render(TagLib::ID3v2::v3);
        frames = QByteArray(rendered.data(), rendered.size());
        frames.truncate(framesEnd(frames));
    }
    plan.smallestFront = frames.size();
    plan.render = [frames](qint64 size) {
        return padded(frames, size);
    };
    return plan;
}

} // namespace velvane
