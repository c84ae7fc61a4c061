#include "support/pictures.h"

#include "support/files.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QtEndian>

using namespace Qt::StringLiterals;

namespace velvane::test {

namespace {

bool run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

QByteArray bigEndian(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

// A FLAC picture block as Vorbis comments carry it in METADATA_BLOCK_PICTURE: type 3, the front cover.
QByteArray flacPictureBlock(const QByteArray &picture)
{
    const QImage image = QImage::fromData(picture);
    const QByteArray mime = picture.startsWith("\x89PNG") ? "image/png" : "image/jpeg";
    return bigEndian(3) + bigEndian(quint32(mime.size())) + mime + bigEndian(0) + bigEndian(quint32(image.width())) +
           bigEndian(quint32(image.height())) + bigEndian(24) + bigEndian(0) + bigEndian(quint32(picture.size())) +
           picture;
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
    const QString extension = picture.startsWith("\x89PNG") ? u".png"_s : u".jpg"_s;
    const QString picturePath = audio.absolutePath() + u"/embedded-picture"_s + extension;
    if (!writeFile(picturePath, picture))
        return false;
    const QString suffix = audio.suffix().toLower();
    bool ok = false;
    if (suffix == u"mp3"_s) {
        const QString tagged = audioFile + u".tagged.mp3"_s;
        ok = run(u"ffmpeg"_s, {u"-hide_banner"_s, u"-loglevel"_s, u"error"_s, u"-y"_s, u"-i"_s, audioFile, u"-i"_s,
                               picturePath, u"-map"_s, u"0:a"_s, u"-map"_s, u"1"_s, u"-c"_s, u"copy"_s,
                               u"-id3v2_version"_s, u"3"_s, u"-metadata:s:v"_s, u"comment=Cover (front)"_s, tagged}) &&
             QFile::remove(audioFile) && QFile::rename(tagged, audioFile);
    } else if (suffix == u"flac"_s) {
        ok = run(u"metaflac"_s, {u"--import-picture-from="_s + picturePath, audioFile});
    } else if (suffix == u"ogg"_s) {
        ok = run(u"vorbiscomment"_s,
                 {u"-a"_s, u"-t"_s,
                  u"METADATA_BLOCK_PICTURE="_s + QString::fromLatin1(flacPictureBlock(picture).toBase64()), audioFile});
    }
    QFile::remove(picturePath);
    return ok;
}

} // namespace velvane::test
