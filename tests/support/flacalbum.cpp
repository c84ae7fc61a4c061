#include "support/flacalbum.h"

#include "support/splitters.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace velvane::test {

namespace {

bool ffmpeg(const QStringList &arguments)
{
    return runTool(u"ffmpeg"_s, QStringList{u"-v"_s, u"error"_s, u"-y"_s} + arguments).exitCode == 0;
}

QString layoutOf(int channels)
{
    return channels == 1 ? u"mono"_s : channels == 2 ? u"stereo"_s : channels == 6 ? u"5.1"_s : u"%1c"_s.arg(channels);
}

} // namespace

std::optional<FlacAlbum> makeFlacAlbum(const QString &folder, const FlacAlbumShape &shape, const QString &baseName)
{
    const QDir dir(folder);
    const QString seconds = QString::number(double(shape.samples) / shape.rate + 0.1, 'f', 6);
    // Four notes a second, each decaying, stepping by fifths, every eleventh a rest; channel c a fifth above c - 1.
    QStringList notes, pan;
    for (int c = 0; c < shape.channels; ++c) {
        notes << u"0.3*exp(-5*mod(t,0.25))*lt(mod(floor(t*4),11),10)*sin(2*PI*t*%1*pow(2,mod(floor(t*4)*7,12)/12))"_s
                     .arg(110.0 * (1.0 + 0.5 * c));
        pan << u"c%1=c0"_s.arg(c);
    }
    const QString graph =
        u"[1]pan=%1|%2[noise];[0][noise]amix=inputs=2:normalize=0,volume='if(lt(mod(t,2.3),2.2),1,0)':eval=frame,"_s
        u"atrim=end_sample=%3"_s.arg(layoutOf(shape.channels), pan.join(u'|'))
            .arg(shape.samples);
    const QString wav = dir.filePath(baseName + u".wav"_s), cover = dir.filePath(baseName + u"-cover.png"_s);
    FlacAlbum album{dir.filePath(baseName + u".flac"_s), shape, shape.encoder == FlacEncoder::Ffmpeg ? 4608 : 4096};
    const bool made =
        ffmpeg({u"-f"_s, u"lavfi"_s, u"-i"_s,
                u"aevalsrc='%1':s=%2:d=%3:c=%4"_s.arg(notes.join(u'|'))
                    .arg(shape.rate)
                    .arg(seconds, layoutOf(shape.channels)),
                u"-f"_s, u"lavfi"_s, u"-i"_s,
                u"anoisesrc=color=pink:sample_rate=%1:amplitude=0.03:seed=5:duration=%2"_s.arg(shape.rate).arg(seconds),
                u"-filter_complex"_s, graph, u"-map_metadata"_s, u"-1"_s, u"-flags"_s, u"+bitexact"_s, u"-c:a"_s,
                shape.bits == 24 ? u"pcm_s24le"_s : u"pcm_s16le"_s, wav}) &&
        (shape.encoder == FlacEncoder::Ffmpeg
             ? ffmpeg({u"-i"_s, wav, u"-c:a"_s, u"flac"_s, u"-frame_size"_s, u"4608"_s, u"-map_metadata"_s, u"-1"_s,
                       album.path})
             : runTool(u"flac"_s,
                       {u"-s"_s, shape.encoder == FlacEncoder::Flac5 ? u"-5"_s : u"-8"_s, u"-o"_s, album.path, wav})
                       .exitCode == 0) &&
        ffmpeg({u"-f"_s, u"lavfi"_s, u"-i"_s, u"color=c=orange:s=32x32"_s, u"-frames:v"_s, u"1"_s, cover}) &&
        runTool(u"metaflac"_s, {u"--set-tag=TITLE=Album"_s, u"--set-tag=ARTIST=Band"_s, u"--add-seekpoint=2s"_s,
                                u"--import-picture-from="_s + cover, album.path})
                .exitCode == 0;
    QFile::remove(wav);
    QFile::remove(cover);
    return made ? std::optional(album) : std::nullopt;
}

QByteArray decodeByFlac(const QString &path)
{
    const ToolRun run = runTool(u"flac"_s, {u"-s"_s, u"-d"_s, u"-c"_s, u"--force-raw-format"_s, u"--endian=little"_s,
                                            u"--sign=signed"_s, path});
    return run.exitCode == 0 ? run.out : QByteArray();
}

QByteArray decodeByFfmpeg(const QString &path, int bits, int seekSeconds)
{
    const ToolRun run = runTool(u"ffmpeg"_s, {u"-v"_s, u"error"_s, u"-ss"_s, QString::number(seekSeconds), u"-i"_s,
                                              path, u"-f"_s, bits == 24 ? u"s24le"_s : u"s16le"_s, u"-"_s});
    return run.exitCode == 0 ? run.out : QByteArray();
}

bool flacTestPasses(const QString &path)
{
    return QFileInfo(path).size() > 0 && runTool(u"flac"_s, {u"-s"_s, u"-t"_s, path}).exitCode == 0;
}

LosslessRun cutAlbum(const QString &album, const QList<qint64> &starts, const QString &folder, bool wavAsFlac,
                     const std::function<bool()> &stop)
{
    const bool flac = album.endsWith(u".flac"_s);
    LosslessCutRequest request{album, {}, wavAsFlac};
    LosslessRun run;
    for (qsizetype i = 0; i < starts.size(); ++i) {
        run.paths << QDir(folder).filePath(u"%1.%2"_s.arg(i + 1).arg(flac || wavAsFlac ? u"flac"_s : u"wav"_s));
        request.pieces.append({starts[i], i + 1 < starts.size() ? std::optional(starts[i + 1]) : std::nullopt,
                               run.paths.back(), int(300 + 100 * i)});
    }
    run.results.resize(starts.size());
    const LosslessCallbacks callbacks{[&](const LosslessPieceResult &result) { run.results[result.piece] = result; },
                                      stop ? stop : [] { return false; }};
    (flac ? cutFlacImage : cutWavImage)(request, callbacks);
    return run;
}

} // namespace velvane::test
