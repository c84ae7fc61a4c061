#include "core/cue/embeddedsheet.h"

#include "core/audio/audioformat.h"
#include "core/cue/linereader.h"

#include <FLAC/metadata.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <memory>

using namespace Qt::StringLiterals;

namespace velvane {

namespace {

struct MetadataDeleter
{
    void operator()(FLAC__StreamMetadata *block) const { FLAC__metadata_object_delete(block); }
};
using Metadata = std::unique_ptr<FLAC__StreamMetadata, MetadataDeleter>;

// The CD's lead-out, which ends the last track and is no track of its own.
bool isLeadOut(const FLAC__StreamMetadata_CueSheet_Track &track)
{
    return track.number == 170 || track.number == 255;
}

QString cueTime(FLAC__uint64 samples, unsigned sampleRate)
{
    const FLAC__uint64 frames = samples * 75 / sampleRate;
    return u"%1:%2:%3"_s.arg(frames / (75 * 60), 2, 10, QChar(u'0'))
        .arg(frames / 75 % 60, 2, 10, QChar(u'0'))
        .arg(frames % 75, 2, 10, QChar(u'0'));
}

QString quoted(QString text)
{
    return u'"' % text.replace(u'"', u'\'') % u'"';
}

std::optional<QString> commentSheet(const QByteArray &path, QString *performer)
{
    FLAC__StreamMetadata *raw = nullptr;
    if (!FLAC__metadata_get_tags(path.constData(), &raw))
        return std::nullopt;
    const Metadata tags(raw);
    const FLAC__StreamMetadata_VorbisComment &comments = tags->data.vorbis_comment;
    std::optional<QString> sheet;
    for (FLAC__uint32 i = 0; i < comments.num_comments; ++i) {
        const QByteArray entry(reinterpret_cast<const char *>(comments.comments[i].entry),
                               qsizetype(comments.comments[i].length));
        const qsizetype equals = entry.indexOf('=');
        const QByteArray field = entry.left(equals).toUpper();
        const QString value = QString::fromUtf8(entry.mid(equals + 1));
        if (field == "CUESHEET" && !sheet)
            sheet = value;
        else if (field == "ARTIST" && performer->isEmpty())
            *performer = value;
    }
    return sheet;
}

std::optional<QStringList> blockSheet(const QByteArray &path, const QString &fileName, const QString &performer)
{
    FLAC__StreamMetadata info;
    FLAC__StreamMetadata *raw = nullptr;
    if (!FLAC__metadata_get_streaminfo(path.constData(), &info) || info.data.stream_info.sample_rate == 0 ||
        !FLAC__metadata_get_cuesheet(path.constData(), &raw))
        return std::nullopt;
    const Metadata block(raw);
    const unsigned rate = info.data.stream_info.sample_rate;
    QStringList lines;
    if (!performer.isEmpty())
        lines.append(u"PERFORMER "_s % quoted(performer));
    lines.append(u"FILE "_s % quoted(fileName) % u" WAVE"_s);
    const FLAC__StreamMetadata_CueSheet &sheet = block->data.cue_sheet;
    for (FLAC__uint32 t = 0; t < sheet.num_tracks; ++t) {
        const FLAC__StreamMetadata_CueSheet_Track &track = sheet.tracks[t];
        if (isLeadOut(track))
            continue;
        const QString number = u"%1"_s.arg(track.number, 2, 10, QChar(u'0'));
        lines.append(u"TRACK "_s % number % u" AUDIO"_s);
        // The block carries no titles; the track's number stands in, as a player would show it.
        lines.append(u"TITLE \"Track "_s % number % u'"');
        for (unsigned i = 0; i < track.num_indices; ++i) {
            const FLAC__StreamMetadata_CueSheet_Index &index = track.indices[i];
            lines.append(u"INDEX "_s % u"%1"_s.arg(index.number, 2, 10, QChar(u'0')) % u' ' %
                         cueTime(track.offset + index.offset, rate));
        }
    }
    return lines;
}

} // namespace

std::optional<EmbeddedSheet> embeddedSheet(const QString &flacPath)
{
    const QByteArray path = QFile::encodeName(flacPath);
    const QString fileName = QFileInfo(flacPath).fileName();
    QString performer;
    if (const std::optional<QString> text = commentSheet(path, &performer)) {
        // The sheet was written for the audio before it became this file ("Range.wav", say): it describes this file.
        QStringList lines = linesInText(*text);
        for (QString &line : lines) {
            if (line.trimmed().startsWith(u"FILE"_s, Qt::CaseInsensitive))
                line = u"FILE "_s % quoted(fileName) % u" WAVE"_s;
        }
        return EmbeddedSheet{lines, u"its CUESHEET tag"_s};
    }
    if (std::optional<QStringList> lines = blockSheet(path, fileName, performer))
        return EmbeddedSheet{*lines, u"its CUESHEET block"_s};
    return std::nullopt;
}

QString sheetBesideImage(const QString &imagePath)
{
    const QFileInfo image(imagePath);
    for (const QString &name : QStringList{image.completeBaseName() + u".cue"_s, image.fileName() + u".cue"_s}) {
        const QFileInfo sheet(image.dir().filePath(name));
        if (sheet.isFile())
            return sheet.filePath();
    }
    return {};
}

CueReading readSheetAt(const QString &path, const TextEncoding *encoding)
{
    if (audioFormatOfName(path) != AudioFormat::Flac)
        return readCueSheet(path, encoding);
    const QString fileName = QFileInfo(path).fileName();
    // A sheet beside the image is the one the user keeps and corrects; the one inside is what the ripper wrote.
    if (const QString beside = sheetBesideImage(path); !beside.isEmpty()) {
        CueReading reading = readCueSheet(beside, encoding);
        reading.sheetNote = u"Read the cue sheet beside it, \""_s % QFileInfo(beside).fileName() % u"\"."_s;
        return reading;
    }
    const std::optional<EmbeddedSheet> sheet = embeddedSheet(path);
    if (!sheet) {
        CueReading unread = cueReadingFromLines(path, {});
        unread.error = u"\""_s % fileName % u"\" carries no cue sheet, and no .cue file of its name is beside it."_s;
        return unread;
    }
    CueReading reading = cueReadingFromLines(path, sheet->lines);
    reading.encoding = u"UTF-8"_s;
    reading.sheetNote = u"Read the cue sheet inside \""_s % fileName % u"\" (" % sheet->origin % u")."_s;
    return reading;
}

} // namespace velvane
