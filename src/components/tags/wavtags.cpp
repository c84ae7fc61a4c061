#include "components/tags/wavtags.h"

#include "components/tags/id3front.h"
#include "core/platform/filereplace.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QtEndian>

#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/wavfile.h>

using namespace Qt::StringLiterals;

namespace velvane {

namespace {

const QString unreadable = u"The piece could not be read back as it was written."_s;

// Where the data chunk lies, and whether a chunk that TagLib rewrites (ID3, LIST) stands before it.
struct WavLayout
{
    qint64 dataBegin = -1;
    qint64 dataSize = 0;
    bool tagsBeforeData = false;
    [[nodiscard]] qint64 dataEnd() const { return dataBegin + dataSize + (dataSize & 1); }
};

std::optional<WavLayout> layoutOf(QFile &file)
{
    WavLayout layout;
    file.seek(0);
    const QByteArray riff = file.read(12);
    if (riff.size() != 12 || !riff.startsWith("RIFF") || riff.sliced(8) != "WAVE")
        return std::nullopt;
    for (qint64 at = 12; at + 8 <= file.size();) {
        file.seek(at);
        const QByteArray header = file.read(8);
        const QByteArray id = header.first(4).toUpper();
        const qint64 size = qFromLittleEndian<quint32>(header.constData() + 4);
        if (id == "DATA") {
            layout.dataBegin = at + 8;
            layout.dataSize = std::min(size, file.size() - layout.dataBegin);
            return layout;
        }
        layout.tagsBeforeData = layout.tagsBeforeData || id == "ID3 " || id == "LIST";
        at += 8 + size + (size & 1);
    }
    return std::nullopt;
}

// The start, middle and end of the audio: enough to notice a shift or a cut without reading it all.
std::optional<QByteArray> audioHash(QFile &file, const WavLayout &layout)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    const qint64 n = std::min<qint64>(layout.dataSize, 64 * 1024);
    for (const qint64 at : {qint64(0), (layout.dataSize - n) / 2, layout.dataSize - n}) {
        if (!file.seek(layout.dataBegin + at))
            return std::nullopt;
        const QByteArray part = file.read(n);
        if (part.size() != n)
            return std::nullopt;
        hash.addData(part);
    }
    return hash.result();
}

TagLib::String toTString(const QString &text)
{
    return TagLib::String(text.toStdString(), TagLib::String::UTF8);
}

// TagLib's own write; true when its result holds the same audio. It moves the audio only to take out a tag chunk
// that stood before it.
bool tagWithTagLib(const QString &path, const TagValues &values, const WavLayout &before, const QByteArray &audio)
{
    {
        TagLib::RIFF::WAV::File file(QFile::encodeName(path).constData(), false);
        if (!file.isValid())
            return false;
        TagLib::ID3v2::Tag *id3 = file.ID3v2Tag();
        for (const TagLib::ID3v2::Frame *frame : TagLib::ID3v2::FrameList(id3->frameList()))
            id3->removeFrame(const_cast<TagLib::ID3v2::Frame *>(frame));
        applyId3Values(*id3, values);
        // INFO knows the plain fields only; readers that know more read the ID3 chunk.
        TagLib::RIFF::Info::Tag *info = file.InfoTag();
        for (const auto &field : info->fieldListMap())
            info->removeField(field.first);
        info->setTitle(toTString(values.title.value_or(QString())));
        info->setArtist(toTString(values.artist.value_or(QString())));
        info->setAlbum(toTString(values.album.value_or(QString())));
        info->setYear(values.year && *values.year > 0 ? uint(*values.year) : 0);
        info->setTrack(values.track && values.track->first > 0 ? uint(values.track->first) : 0);
        info->setGenre(toTString(values.genres ? values.genres->join(u", "_s) : QString()));
        info->setComment(toTString(values.comment));
        if (!file.save(TagLib::RIFF::WAV::File::AllTags, TagLib::File::StripOthers, TagLib::ID3v2::v3))
            return false;
    }
    QFile check(path);
    if (!check.open(QIODevice::ReadOnly))
        return false;
    const auto after = layoutOf(check);
    return after && after->dataSize == before.dataSize && audioHash(check, *after) == audio;
}

// Puts back the RIFF header and what followed the audio, as they were before TagLib appended to them.
void restore(const QString &path, const QByteArray &header, qint64 dataEnd, const QByteArray &tail)
{
    QFile file(path);
    if (file.open(QIODevice::ReadWrite)) {
        file.write(header);
        file.seek(dataEnd);
        file.write(tail);
        file.resize(dataEnd + tail.size());
    }
}

RewriteResult tagCopy(const QString &path, const FileStamp &examined, const TagValues &values, const QByteArray &audio)
{
    QTemporaryFile copy(QFileInfo(path).absoluteDir().filePath(u".velvane-tags-XXXXXX"_s));
    if (!copy.open())
        return {false, copy.errorString()};
    copy.close();
    if (!QFile::remove(copy.fileName()) || !QFile::copy(path, copy.fileName()))
        return {false, unreadable};
    QFile tagged(copy.fileName());
    const auto copied = tagged.open(QIODevice::ReadOnly) ? layoutOf(tagged) : std::nullopt;
    tagged.close();
    if (!copied || !tagWithTagLib(copy.fileName(), values, *copied, audio) || !adoptAccess(copy.fileName(), path))
        return {false, u"The tags could not be written into the WAV piece."_s};
    const FileReplacement replacement = replaceFile(copy.fileName(), path, examined);
    if (replacement.keepReplacement)
        copy.setAutoRemove(false);
    if (!replacement.ok)
        return {false, replacement.targetChanged ? u"The piece was replaced while its tags were written."_s
                                                 : replacement.error};
    return {true, {}};
}

} // namespace

bool isWavFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && layoutOf(file).has_value();
}

RewriteResult writeWavTags(const QString &path, const FileStamp &examined, const TagValues &values)
{
    if (stampOf(path) != examined)
        return {false, u"The piece changed after it was examined."_s};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {false, file.errorString()};
    const auto layout = layoutOf(file);
    const auto audio = layout ? audioHash(file, *layout) : std::nullopt;
    if (!layout || !audio)
        return {false, u"The piece holds no audio."_s};
    if (layout->tagsBeforeData)
        return tagCopy(path, examined, values, *audio);

    file.seek(0);
    const QByteArray header = file.read(12);
    file.seek(layout->dataEnd());
    const QByteArray tail = file.readAll();
    file.close();
    if (tagWithTagLib(path, values, *layout, *audio))
        return {true, {}};
    restore(path, header, layout->dataEnd(), tail);
    return {false, u"The tags could not be written into the WAV piece."_s};
}

} // namespace velvane
