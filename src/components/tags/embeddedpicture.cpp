#include "components/tags/embeddedpicture.h"

#include <QFile>
#include <QFileInfo>

#include <taglib/attachedpictureframe.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2frame.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/oggflacfile.h>
#include <taglib/tfilestream.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

namespace velvane {

namespace {

QByteArray bytesOf(const TagLib::ByteVector &bytes)
{
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

// Rippers do not always mark the front cover as such, so an unmarked first picture serves when none is.
class Choice
{
public:
    void offer(bool front, const TagLib::ByteVector &bytes)
    {
        if (front && !m_front) {
            m_bytes = bytesOf(bytes);
            m_front = true;
        } else if (!m_front && m_bytes.isEmpty()) {
            m_bytes = bytesOf(bytes);
        }
    }
    [[nodiscard]] QByteArray bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
    bool m_front = false;
};

void offerId3(Choice &choice, TagLib::ID3v2::Tag *tag)
{
    if (!tag)
        return;
    for (TagLib::ID3v2::Frame *frame : tag->frameList("APIC")) {
        if (const auto *picture = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame *>(frame))
            choice.offer(picture->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover, picture->picture());
    }
}

void offerFlac(Choice &choice, const TagLib::List<TagLib::FLAC::Picture *> &pictures)
{
    for (const TagLib::FLAC::Picture *picture : pictures)
        choice.offer(picture->type() == TagLib::FLAC::Picture::FrontCover, picture->data());
}

void offerXiph(Choice &choice, TagLib::Ogg::XiphComment *comment)
{
    if (comment)
        offerFlac(choice, comment->pictureList());
}

} // namespace

QByteArray embeddedPicture(const QString &audioFile)
{
    // TagLib would wait forever on a FIFO and read on without end from a device.
    if (!QFileInfo(audioFile).isFile())
        return {};
    const QByteArray name = QFile::encodeName(audioFile);
    TagLib::FileStream stream(name.constData(), true);
    if (!stream.isOpen())
        return {};
    Choice choice;
    // By content, FLAC first: an MPEG sync pattern can turn up anywhere in other audio.
    if (TagLib::FLAC::File::isSupported(&stream)) {
        TagLib::FLAC::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
        offerFlac(choice, file.pictureList());
        offerXiph(choice, file.xiphComment());
    } else if (TagLib::Ogg::Vorbis::File::isSupported(&stream)) {
        TagLib::Ogg::Vorbis::File file(&stream, false);
        offerXiph(choice, file.tag());
    } else if (TagLib::Ogg::FLAC::File::isSupported(&stream)) {
        TagLib::Ogg::FLAC::File file(&stream, false);
        offerXiph(choice, file.tag());
    } else if (TagLib::RIFF::WAV::File::isSupported(&stream)) {
        TagLib::RIFF::WAV::File file(&stream, false);
        offerId3(choice, file.ID3v2Tag());
    } else if (TagLib::MPEG::File::isSupported(&stream)) {
        TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
        offerId3(choice, file.ID3v2Tag());
    }
    return choice.bytes();
}

} // namespace velvane
