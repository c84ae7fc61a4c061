#include "core/lossless/losslesscut.h"
#include "core/lossless/wavimage.h"
#include "core/lossless/wavtoflac.h"
#include "core/platform/filecopy.h"

#include <QFile>

#include <variant>

using namespace Qt::StringLiterals;

namespace velvane {

namespace {

// Copied in steps this large, so a stop request is seen within a fraction of a second while the kernel still
// copies in big runs.
constexpr qint64 copyStep = qint64(64) << 20;

struct PieceSamples
{
    qint64 first = 0;
    qint64 count = 0;
};

// A cue frame is a whole number of samples at every rate a CD image has; at another rate the cut falls on the
// sample before, the same for the end of one piece and the start of the next, so no sample is lost or doubled.
qint64 sampleAt(qint64 cueFrames, int sampleRate)
{
    return cueFrames * sampleRate / 75;
}

struct Outcome
{
    bool stopped = false;
    QString problem;
};

Outcome copyAsWav(QFile &album, const WavImage &image, const PieceSamples &samples, QFile &out,
                  const std::function<bool()> &stopRequested)
{
    const qint64 bytes = samples.count * image.blockAlign;
    const QByteArray header = wavHeader(image, bytes);
    if (bytes > wavDataLimit(header.size()))
        return {false, u"The track is longer than a WAV file can hold; save WAV tracks as FLAC instead."_s};
    if (out.write(header) != header.size())
        return {false, out.errorString()};
    const qint64 from = image.dataOffset + samples.first * image.blockAlign;
    for (qint64 done = 0; done < bytes; done += copyStep) {
        if (stopRequested && stopRequested())
            return {true, {}};
        if (const QString why = copyFileBytes(album, from + done, out, std::min(copyStep, bytes - done));
            !why.isEmpty())
            return {false, why};
    }
    if ((bytes & 1) && !out.putChar('\0'))
        return {false, out.errorString()};
    if (!out.flush())
        return {false, out.errorString()};
    return {};
}

Outcome cutPiece(QFile &album, const WavImage &image, const LosslessPiece &piece, bool asFlac,
                 const std::function<bool()> &stopRequested)
{
    const qint64 first = sampleAt(piece.start, image.sampleRate);
    const qint64 last = piece.end ? std::min(sampleAt(*piece.end, image.sampleRate), image.frames()) : image.frames();
    if (first >= last)
        return {false, u"The track starts after the end of the audio."_s};

    QFile out(piece.path);
    // A file already there is somebody's: it is never written over.
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return {false, u"The piece could not be made: "_s % out.errorString()};
    Outcome outcome;
    if (asFlac) {
        const WavEncoding encoded =
            encodeWavAsFlac(album, image, first, last - first, out, piece.tagRoom, stopRequested);
        outcome = {encoded.stopped, encoded.problem};
    } else {
        outcome = copyAsWav(album, image, {first, last - first}, out, stopRequested);
    }
    out.close();
    if (outcome.stopped || !outcome.problem.isEmpty())
        out.remove();
    return outcome;
}

} // namespace

void cutWavImage(const LosslessCutRequest &request, const LosslessCallbacks &callbacks)
{
    QFile album(request.audioFile);
    QString problem;
    std::variant<WavImage, QString> read;
    if (!album.open(QIODevice::ReadOnly))
        problem = u"The album could not be read: "_s % album.errorString();
    else if (read = readWavImage(album); std::holds_alternative<QString>(read))
        problem = u"The album cannot be cut as WAV: "_s % std::get<QString>(read);
    for (qsizetype i = 0; i < request.pieces.size(); ++i) {
        if (!problem.isEmpty()) {
            callbacks.pieceDone({i, false, problem});
            continue;
        }
        const Outcome outcome =
            cutPiece(album, std::get<WavImage>(read), request.pieces.at(i), request.wavAsFlac, callbacks.stopRequested);
        if (outcome.stopped)
            return;
        callbacks.pieceDone({i, outcome.problem.isEmpty(), outcome.problem});
    }
}

} // namespace velvane
