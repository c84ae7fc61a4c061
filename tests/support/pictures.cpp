#include "support/pictures.h"

#include "support/files.h"
#include "support/splitters.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QtEndian>

using namespace Qt::StringLiterals;

namespace velvane::test {

namespace {

// A FLAC picture block as Vorbis comments carry it in METADATA_BLOCK_PICTURE: type 3, the front cover.
QByteArray flacPictureBlock(const QByteArray &picture)
{
    const QImage image = QImage::fromData(picture);
    const QByteArray mime = picture.startsWith("\x89PNG") ? "image/png" : "image/jpeg";
    const auto be = [](qsizetype value) {
        QByteArray bytes(4, '\0');
        qToBigEndian(quint32(value), bytes.data());
        return bytes;
    };
    return be(3) + be(mime.size()) + mime + be(0) + be(image.width()) + be(image.height()) + be(24) + be(0) +
           be(picture.size()) + picture;
}

} // namespace

QByteArray pictureBytes(const char *format, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator noise(width * 7919 + height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x * 255 / width, y * 255 / height, 128 + int(noise.bounded(40))));
    QPainter painter(&image);
    painter.setBrush(Qt::black);
    painter.drawEllipse(width / 4, height / 4, width / 2, height / 2);
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

bool embedPicture(const QString &audioFile, const QByteArray &picture)
{
    const QFileInfo audio(audioFile);
    const QString picturePath =
        audio.absolutePath() + u"/embedded-picture"_s + (picture.startsWith("\x89PNG") ? u".png"_s : u".jpg"_s);
    const QString suffix = audio.suffix().toLower(), tagged = audioFile + u".tagged.mp3"_s;
    bool ok = writeFile(picturePath, picture);
    if (ok && suffix == u"mp3"_s) {
        ok = runTool(u"ffmpeg"_s, {u"-v"_s, u"error"_s, u"-i"_s, audioFile, u"-i"_s, picturePath, u"-map"_s, u"0:a"_s,
                                   u"-map"_s, u"1"_s, u"-c"_s, u"copy"_s, u"-id3v2_version"_s, u"3"_s,
                                   u"-metadata:s:v"_s, u"comment=Cover (front)"_s, tagged})
                     .exitCode == 0 &&
             QFile::remove(audioFile) && QFile::rename(tagged, audioFile);
    } else if (ok) {
        const QString block = u"METADATA_BLOCK_PICTURE="_s + QString::fromLatin1(flacPictureBlock(picture).toBase64());
        ok = suffix == u"flac"_s
                 ? runTool(u"metaflac"_s, {u"--import-picture-from="_s + picturePath, audioFile}).exitCode == 0
                 : runTool(u"vorbiscomment"_s, {u"-a"_s, u"-t"_s, block, audioFile}).exitCode == 0;
    }
    QFile::remove(picturePath);
    return ok;
}

} // namespace velvane::test
