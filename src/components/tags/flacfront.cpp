#include "components/tags/flacfront.h"

#include "components/tags/vorbiscomment.h"

#include <QFile>
#include <QList>
#include <QtEndian>

namespace velvane {

namespace {

enum BlockType : quint8
{
    StreamInfo = 0,
    Padding = 1,
    VorbisComment = 4,
    Picture = 6,
    Invalid = 127
};

constexpr qint64 blockHeaderSize = 4;
constexpr qint64 largestBlockBody = (1 << 24) - 1;
constexpr quint8 lastBlockFlag = 0x80;

struct Block
{
    quint8 type = Invalid;
    QByteArray body;
};

QByteArray rendered(const Block &block, bool last)
{
    QByteArray header(blockHeaderSize, '\0');
    header[0] = char(block.type | (last ? lastBlockFlag : 0));
    header[1] = char(block.body.size() >> 16);
    header[2] = char(block.body.size() >> 8);
    header[3] = char(block.body.size());
    return header + block.body;
}

// Every metadata block, and where the first frame starts; nothing for a file that is no FLAC stream.
std::optional<std::pair<QList<Block>, qint64>> readBlocks(QFile &file)
{
    if (file.read(4) != "fLaC")
        return std::nullopt;
    QList<Block> blocks;
    for (qint64 at = 4;;) {
        const QByteArray header = file.read(blockHeaderSize);
        if (header.size() != blockHeaderSize)
            return std::nullopt;
        const quint8 type = quint8(header[0]) & ~lastBlockFlag;
        const qint64 size = quint8(header[1]) << 16 | quint8(header[2]) << 8 | quint8(header[3]);
        if (type == Invalid || (blocks.isEmpty() && type != StreamInfo) || at + blockHeaderSize + size > file.size())
            return std::nullopt;
        Block block{type, file.read(size)};
        if (block.body.size() != size)
            return std::nullopt;
        blocks.append(std::move(block));
        at += blockHeaderSize + size;
        if (quint8(header[0]) & lastBlockFlag)
            return std::pair(blocks, at);
    }
}

} // namespace

bool isFlacFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(5) == QByteArrayView("fLaC\0", 5);
}

std::optional<FrontPlan> planFlacFront(const QString &path, const TagValues &values)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const auto read = readBlocks(file);
    if (!read)
        return std::nullopt;
    const auto &[blocks, audioBegin] = *read;

    QList<Block> kept;
    QByteArray oldComment;
    for (const Block &block : blocks) {
        if (block.type == VorbisComment)
            oldComment = block.body;
        else if (block.type != Padding && block.type != Picture)
            kept.append(block);
    }
    kept.append({VorbisComment, vorbisCommentWith(oldComment, values, VorbisCommentIn::FlacBlock)});
    if (values.cover)
        kept.append({Picture, flacPictureBody(*values.cover)});
    QByteArray front("fLaC");
    for (qsizetype i = 0; i < kept.size(); ++i) {
        if (kept[i].body.size() > largestBlockBody)
            return std::nullopt;
        front += rendered(kept[i], false);
    }

    FrontPlan plan;
    plan.audioBegin = audioBegin;
    plan.audioEnd = file.size();
    plan.smallestFront = front.size();
    const qsizetype lastHeader = front.size() - blockHeaderSize - kept.back().body.size();
    plan.render = [front, lastHeader](qint64 size) -> std::optional<QByteArray> {
        const qint64 room = size - front.size();
        if (room == 0) {
            QByteArray whole = front;
            whole[lastHeader] = char(quint8(whole[lastHeader]) | lastBlockFlag);
            return whole;
        }
        // A padding block is four bytes at least, its header.
        if (room < blockHeaderSize || room - blockHeaderSize > largestBlockBody)
            return std::nullopt;
        return front + rendered({Padding, QByteArray(room - blockHeaderSize, '\0')}, true);
    };
    return plan;
}

} // namespace velvane
