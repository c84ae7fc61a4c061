#include "support/audiofixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QtMath>

#include <cstring>
#include <map>
#include <utility>

using namespace Qt::StringLiterals;

namespace velvane::test {

// Runs a tool and gives its standard output; nothing when it cannot start or fails.
static std::optional<QByteArray> run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning("%s failed: %s", qPrintable(program), qPrintable(arguments.join(u' ')));
        return std::nullopt;
    }
    return process.readAllStandardOutput();
}

static QStringList quietFfmpeg(const QStringList &arguments)
{
    return QStringList{u"-hide_banner"_s, u"-loglevel"_s, u"error"_s, u"-y"_s} + arguments;
}

// bitexact and no metadata keep the WAV free of LIST chunks, which oggenc complains about.
static QStringList plainWav(const QString &wav)
{
    return {u"-map_metadata"_s, u"-1"_s, u"-flags"_s, u"+bitexact"_s, u"-c:a"_s, u"pcm_s16le"_s, wav};
}

// The encoder's command line for each format, IN and OUT standing for the WAV and the album.
static const std::map<AlbumFormat, QString> albumEncoders{
    {AlbumFormat::Mp3Cbr, u"lame --quiet --cbr -b 128 IN OUT"_s},
    {AlbumFormat::Mp3Vbr, u"lame --quiet -V 2 IN OUT"_s},
    {AlbumFormat::Mp3FfmpegCbr, u"ffmpeg -loglevel error -y -i IN -c:a libmp3lame -b:a 128k OUT"_s},
    {AlbumFormat::Mp3FfmpegVbr, u"ffmpeg -loglevel error -y -i IN -c:a libmp3lame -q:a 2 OUT"_s},
    {AlbumFormat::Mp3NoInfo, u"lame --quiet -t --cbr -b 128 IN OUT"_s},
    {AlbumFormat::Mp3XingOnly, u"lame --quiet -V 2 IN OUT"_s},
    {AlbumFormat::Mp3Mono, u"lame --quiet -m m --cbr -b 96 IN OUT"_s},
    {AlbumFormat::Mp3Mpeg2Mono, u"lame --quiet -m m --resample 22.05 --cbr -b 64 IN OUT"_s},
    {AlbumFormat::Ogg, u"oggenc -Q -q 5 -o OUT IN"_s},
};

// Runs command on wav, which it then removes; true when it made a file at path.
static bool encode(const QString &command, const QString &wav, const QString &path)
{
    QStringList words = command.split(u' ');
    for (QString &word : words)
        word = word == u"IN"_s ? wav : word == u"OUT"_s ? path : word;
    const bool made = run(words.takeFirst(), words) && QFileInfo(path).size() > 0;
    QFile::remove(wav);
    return made;
}

static QList<qint16> samplesOf(const QByteArray &raw)
{
    QList<qint16> samples(raw.size() / qsizetype(sizeof(qint16)));
    std::memcpy(samples.data(), raw.constData(), samples.size() * sizeof(qint16));
    return samples;
}

QString cueTime(qint64 frames)
{
    return u"%1:%2:%3"_s.arg(frames / 4500, 2, 10, QChar(u'0'))
        .arg(frames / 75 % 60, 2, 10, QChar(u'0'))
        .arg(frames % 75, 2, 10, QChar(u'0'));
}

double trackTone(int track)
{
    // Steps of 230 Hz from 330 Hz keep every pair well apart for Goertzel over a second or two.
    return 330.0 + 230.0 * track;
}

std::optional<Album> makeAlbum(const QString &folder, AlbumFormat format, const QList<double> &durations,
                               const QString &baseName, int firstTone)
{
    Album album;
    QStringList arguments = quietFfmpeg({});
    QString graph, labels;
    for (int i = 0; i < durations.size(); ++i) {
        const qint64 samples = qRound64(durations[i] * sampleRate);
        album.tones << trackTone(firstTone + i);
        album.trackStarts << album.totalSamples;
        album.totalSamples += samples;
        // The source runs a little long and atrim cuts it to the exact sample count.
        arguments << u"-f"_s << u"lavfi"_s << u"-i"_s
                  << u"sine=frequency=%1:sample_rate=%2:duration=%3"_s.arg(album.tones.back())
                         .arg(sampleRate)
                         .arg(double(samples) / sampleRate + 0.1, 0, 'f', 6);
        // Notes of 0.35 s with rests between them, as a tune is played.
        graph +=
            u"[%1]atrim=end_sample=%2,volume='if(lt(mod(t,0.4),0.35),1,0.05)':eval=frame[t%1];"_s.arg(i).arg(samples);
        labels += u"[t%1]"_s.arg(i);
    }
    // Pure tones are unlike music to the encoders: noise keeps their block choices as for real recordings.
    arguments << u"-f"_s << u"lavfi"_s << u"-i"_s
              << u"anoisesrc=color=pink:sample_rate=%1:amplitude=0.01:seed=7:duration=%2"_s.arg(sampleRate)
                     .arg(double(album.totalSamples) / sampleRate + 0.1, 0, 'f', 6);
    // Every 2.3 s a moment of digital silence, as between movements.
    graph += labels +
             u"concat=n=%1:v=0:a=1[tones];[tones][%1]amix=inputs=2:duration=first:normalize=0,"_s
             u"volume='if(lt(mod(t,2.3),2.2),1,0)':eval=frame,aformat=channel_layouts=stereo"_s.arg(durations.size());

    const QString wav = QDir(folder).filePath(baseName + u".wav"_s);
    album.path = QDir(folder).filePath(baseName + (format == AlbumFormat::Ogg ? u".ogg"_s : u".mp3"_s));
    if (!run(u"ffmpeg"_s, arguments + QStringList{u"-filter_complex"_s, graph} + plainWav(wav)) ||
        !encode(albumEncoders.at(format), wav, album.path))
        return std::nullopt;
    if (format == AlbumFormat::Mp3XingOnly) {
        QFile file(album.path);
        const qsizetype tag = file.open(QIODevice::ReadWrite) ? file.peek(4096).indexOf("LAME3.") : -1;
        if (tag < 0 || !file.seek(tag) || file.write(QByteArray(36, '\0')) != 36)
            return std::nullopt;
    }
    return album;
}

std::optional<QList<qint16>> decodePcm(const QString &path, int rate)
{
    if (path.endsWith(u".ogg"_s, Qt::CaseInsensitive)) {
        // Stereo, averaged here the way ffmpeg's down-mix does it for MP3.
        const std::optional<Pcm> stereo = decodeOgg(path);
        if (!stereo)
            return std::nullopt;
        QList<qint16> samples(stereo->samples.size() / 2);
        for (qsizetype i = 0; i < samples.size(); ++i)
            samples[i] = qint16((int(stereo->samples[2 * i]) + int(stereo->samples[2 * i + 1])) / 2);
        return samples;
    }
    const auto raw = run(u"ffmpeg"_s, quietFfmpeg({u"-i"_s, path, u"-f"_s, u"s16le"_s, u"-ac"_s, u"1"_s, u"-ar"_s,
                                                   QString::number(rate), u"-"_s}));
    return raw ? std::optional(samplesOf(*raw)) : std::nullopt;
}

qint64 offsetIn(const QList<qint16> &whole, const QList<qint16> &piece, qint64 expected, qint64 reach)
{
    for (qint64 distance = 0; distance <= reach; ++distance) {
        for (const qint64 at : {expected - distance, expected + distance}) {
            if (at >= 0 && at + piece.size() <= whole.size() &&
                std::equal(piece.cbegin(), piece.cend(), whole.cbegin() + at))
                return at;
        }
    }
    return -1;
}

double dominantTone(const QList<qint16> &samples, const QList<double> &candidates)
{
    double best = 0.0, bestPower = -1.0;
    for (double frequency : candidates) {
        const double coefficient = 2.0 * qCos(2.0 * M_PI * frequency / sampleRate);
        double previous = 0.0, beforePrevious = 0.0;
        for (qint16 sample : samples)
            beforePrevious = std::exchange(previous, sample + coefficient * previous - beforePrevious);
        const double power =
            previous * previous + beforePrevious * beforePrevious - coefficient * previous * beforePrevious;
        if (!samples.isEmpty() && power > bestPower) {
            bestPower = power;
            best = frequency;
        }
    }
    return best;
}

std::optional<Album> makeMusicOgg(const QString &folder, OggEncoder encoder, const QList<double> &durations,
                                  const QString &baseName)
{
    const bool mono = encoder == OggEncoder::OggencMono22k;
    const int rate = mono ? 22050 : sampleRate;
    Album album;
    for (double seconds : durations) {
        album.trackStarts << album.totalSamples;
        album.totalSamples += qRound64(seconds * rate);
    }
    // Four notes a second, each decaying, stepping by fifths; every eleventh note rests. The right channel plays an
    // octave lower, so that the channels differ.
    const QString note =
        u"exp(-5*mod(t,0.25))*lt(mod(floor(t*4),11),10)*sin(2*PI*t*%1*pow(2,mod(floor(t*4)*7,12)/12))"_s;
    const QString left = u"0.3*"_s + note.arg(220), right = u"0.3*"_s + note.arg(110);
    const QString wav = QDir(folder).filePath(baseName + u".wav"_s);
    const QString seconds = QString::number(double(album.totalSamples) / rate, 'f', 6);
    const QStringList arguments = quietFfmpeg(
        {u"-f"_s, u"lavfi"_s, u"-i"_s, u"aevalsrc='%1|%2':s=%3:d=%4"_s.arg(left, right).arg(rate).arg(seconds), u"-f"_s,
         u"lavfi"_s, u"-i"_s,
         u"anoisesrc=color=pink:sample_rate=%1:amplitude=0.03:seed=11:duration=%2"_s.arg(rate).arg(seconds),
         u"-filter_complex"_s,
         u"[0][1]amix=inputs=2:duration=first:normalize=0,atrim=end_sample=%1,aformat=channel_layouts=%2"_s
             .arg(album.totalSamples)
             .arg(mono ? u"mono"_s : u"stereo"_s)});
    if (!run(u"ffmpeg"_s, arguments + plainWav(wav)))
        return std::nullopt;
    album.path = QDir(folder).filePath(baseName + u".ogg"_s);
    const QString command = encoder == OggEncoder::FfmpegLibvorbis
                                ? u"ffmpeg -loglevel error -y -i IN -c:a libvorbis -q:a 4 OUT"_s
                            : mono ? u"oggenc -Q -q 3 -o OUT IN"_s
                                   : u"oggenc -Q -q 5 -o OUT IN"_s;
    return encode(command, wav, album.path) ? std::optional(album) : std::nullopt;
}

std::optional<Pcm> decodeOgg(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // The identification header, alone on the first page: channels at 11 and the rate at 12 of its packet.
    const QByteArray first = file.read(58);
    if (first.size() < 58 || !first.startsWith("OggS") || first.mid(28, 7) != "\x01vorbis")
        return std::nullopt;
    Pcm pcm;
    pcm.channels = uchar(first[39]);
    pcm.rate = int(uchar(first[40]) | uchar(first[41]) << 8 | uchar(first[42]) << 16 | uchar(first[43]) << 24);
    const auto raw = run(u"oggdec"_s, {u"-Q"_s, u"-R"_s, u"-o"_s, u"-"_s, path});
    if (!raw || pcm.channels == 0)
        return std::nullopt;
    pcm.samples = samplesOf(*raw);
    return pcm;
}

std::optional<qint64> locate(const Pcm &piece, const Pcm &album, qint64 expectedStart, qint64 slack)
{
    const int channels = album.channels;
    if (piece.channels != channels || piece.frames() > album.frames())
        return std::nullopt;
    const qint64 from = std::max<qint64>(0, expectedStart - slack);
    const qint64 to = std::min(expectedStart + slack, album.frames() - piece.frames());
    for (qint64 start = from; start <= to; ++start) {
        if (std::equal(piece.samples.cbegin(), piece.samples.cend(), album.samples.cbegin() + start * channels))
            return start;
    }
    return std::nullopt;
}

} // namespace velvane::test
