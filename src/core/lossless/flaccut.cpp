#include "core/audio/filebytes.h"
#include "core/lossless/flacdecode.h"
#include "core/lossless/flacencode.h"
#include "core/lossless/flacframe.h"
#include "core/lossless/flacmetadata.h"
#include "core/lossless/flacpiecefile.h"
#include "core/lossless/flacplan.h"
#include "core/lossless/flacstream.h"
#include "core/lossless/losslesscut.h"

#include <QCryptographicHash>
#include <QThread>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace velvane {

namespace {

// Frames are decoded in chunks of about this many bytes of FLAC, side by side on every core, and then taken in
// order: the album's MD5 runs through all of them, each piece's through its own.
constexpr qsizetype chunkBytes = 512 * 1024;

QString clock(qint64 seconds)
{
    return u"%1:%2"_s.arg(seconds / 60).arg(seconds % 60, 2, 10, QChar(u'0'));
}

struct Damage
{
    qint64 from = 0;
    qint64 to = 0;
};

struct Piece
{
    qsizetype index = 0;
    qint64 start = 0;
    qint64 end = 0;
    FlacPiecePlan plan;
    size_t nextStep = 0;
    std::vector<std::vector<char>> stepSamples; // for the steps that are encoded anew, as their samples come
    quint64 nextNumber = 0;
    FlacPieceFile file;
    QCryptographicHash md5{QCryptographicHash::Md5};
    QString failure;
};

struct Chunk
{
    int firstFrame = 0;
    int endFrame = 0;
    std::vector<char> samples;
    std::vector<qsizetype> at; // per frame: where its samples are in samples, -1 when it could not be decoded
};

class FlacCut
{
public:
    FlacCut(const LosslessCutRequest &request, const LosslessCallbacks &callbacks)
        : m_request(request)
        , m_callbacks(callbacks)
        , m_file(request.audioFile)
    {}

    void run();

private:
    void failAll(const QString &reason);
    [[nodiscard]] bool plan();
    void makeChunks();
    void work(bool callingThread);
    [[nodiscard]] bool stopped(bool callingThread);
    void decode(Chunk &chunk, FlacFrameDecoder &decoder);
    void takeInOrder(const Chunk &chunk);
    void takeFrame(int index, const char *samples);
    void advance(Piece &piece, int frameIndex);
    void writeCopy(Piece &piece, const FlacFrame &frame);
    void writeEncoded(Piece &piece, const FlacPieceStep &step);
    void fail(Piece &piece, const QString &reason);
    void noteDamage(const FlacFrame &frame);
    [[nodiscard]] QString damageReason(qint64 from, qint64 to) const;
    void finish();

    const LosslessCutRequest &m_request;
    const LosslessCallbacks &m_callbacks;
    FileBytes m_file;
    FlacLayout m_layout;
    FlacFrames m_frames;
    qsizetype m_frameBytes = 0; // one sample of every channel, as decoded
    std::vector<std::unique_ptr<Piece>> m_pieces;
    std::vector<LosslessPieceResult> m_early; // pieces that fail before anything is cut
    std::vector<std::pair<int, int>> m_chunks;
    std::vector<Damage> m_damage;
    QCryptographicHash m_albumMd5{QCryptographicHash::Md5};
    size_t m_firstOpenPiece = 0;
    std::unique_ptr<FlacFrameDecoder> m_checker; // decodes the frames encoded anew, in the ordered part only

    std::atomic<int> m_nextChunk{0};
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::condition_variable m_turn;
    int m_inOrder = 0; // the chunk whose turn it is
};

void FlacCut::failAll(const QString &reason)
{
    for (qsizetype i = 0; i < m_request.pieces.size(); ++i)
        m_callbacks.pieceDone({i, false, reason});
}

bool FlacCut::plan()
{
    const auto layout = readFlacLayout(m_file.data());
    if (!layout) {
        failAll(u"The album cannot be read as FLAC."_s);
        return false;
    }
    m_layout = *layout;
    m_frames = scanFlacFrames(m_file.data(), m_layout);
    if (m_frames.frames.empty()) {
        failAll(u"The album holds no FLAC audio."_s);
        return false;
    }
    const FlacStreamInfo &info = m_layout.info;
    m_frameBytes = qsizetype(info.channels) * info.bytesPerSample();
    const qint64 total = m_frames.totalSamples, rate = info.sampleRate;
    for (qsizetype i = 0; i < m_request.pieces.size(); ++i) {
        const LosslessPiece &request = m_request.pieces[i];
        // A cue frame is 1/75 s, a whole number of samples at every rate FLAC albums come in.
        const qint64 start = request.start * rate / 75;
        // A track that runs on past the audio (its successor starts after the end) ends with the audio.
        const qint64 end = request.end ? std::min(*request.end * rate / 75, total) : total;
        QString failure;
        if (start >= total)
            failure = u"The track starts at %1, after the end of the audio (%2)."_s.arg(clock(start / rate),
                                                                                        clock(total / rate));
        else if (end <= start)
            failure = u"The track ends before it starts."_s;
        if (!failure.isEmpty()) {
            m_early.push_back({i, false, failure});
            continue;
        }
        auto piece = std::make_unique<Piece>();
        piece->index = i;
        piece->start = start;
        piece->end = end;
        piece->plan = planFlacPiece(m_frames, info.maxBlockSize, start, end);
        piece->stepSamples.resize(piece->plan.steps.size());
        if (!piece->file.create(request.path, info, request.tagRoom)) {
            m_early.push_back({i, false, piece->file.error()});
            continue;
        }
        m_pieces.push_back(std::move(piece));
    }
    m_checker = std::make_unique<FlacFrameDecoder>(info);
    return true;
}

void FlacCut::makeChunks()
{
    const auto &frames = m_frames.frames;
    for (int first = 0; first < int(frames.size());) {
        int end = first;
        qsizetype bytes = 0;
        while (end < int(frames.size()) && (end == first || bytes < chunkBytes))
            bytes += frames[end++].size;
        m_chunks.emplace_back(first, end);
        first = end;
    }
}

bool FlacCut::stopped(bool callingThread)
{
    if (callingThread && !m_stop && m_callbacks.stopRequested && m_callbacks.stopRequested())
        m_stop = true;
    return m_stop;
}

void FlacCut::decode(Chunk &chunk, FlacFrameDecoder &decoder)
{
    const auto &frames = m_frames.frames;
    // A damaged stretch takes no room: it may stand for any number of samples.
    qsizetype size = 0;
    chunk.at.assign(size_t(chunk.endFrame - chunk.firstFrame), -1);
    for (int i = chunk.firstFrame; i < chunk.endFrame; ++i) {
        if (!frames[i].damaged) {
            chunk.at[i - chunk.firstFrame] = size;
            size += frames[i].blockSize * m_frameBytes;
        }
    }
    chunk.samples.resize(size_t(size));
    for (int i = chunk.firstFrame; i < chunk.endFrame; ++i) {
        const FlacFrame &frame = frames[i];
        qsizetype &at = chunk.at[i - chunk.firstFrame];
        if (at >= 0 &&
            !decoder.decode(m_file.data().sliced(frame.offset, frame.size), frame.blockSize, chunk.samples.data() + at))
            at = -1;
    }
}

void FlacCut::work(bool callingThread)
{
    FlacFrameDecoder decoder(m_layout.info);
    Chunk chunk;
    for (;;) {
        const int index = m_nextChunk++;
        if (index >= int(m_chunks.size()) || stopped(callingThread))
            return;
        chunk.firstFrame = m_chunks[index].first;
        chunk.endFrame = m_chunks[index].second;
        decode(chunk, decoder);
        {
            std::unique_lock lock(m_mutex);
            while (m_inOrder != index && !stopped(callingThread))
                m_turn.wait_for(lock, std::chrono::milliseconds(20));
        }
        if (stopped(callingThread)) {
            m_turn.notify_all();
            return;
        }
        takeInOrder(chunk);
        {
            const std::lock_guard lock(m_mutex);
            ++m_inOrder;
        }
        m_turn.notify_all();
    }
}

void FlacCut::takeInOrder(const Chunk &chunk)
{
    for (int i = chunk.firstFrame; i < chunk.endFrame; ++i) {
        const qsizetype at = chunk.at[i - chunk.firstFrame];
        if (at < 0)
            noteDamage(m_frames.frames[i]);
        takeFrame(i, at < 0 ? nullptr : chunk.samples.data() + at);
    }
}

void FlacCut::noteDamage(const FlacFrame &frame)
{
    const qint64 to = frame.firstSample + frame.blockSize;
    if (!m_damage.empty() && m_damage.back().to == frame.firstSample)
        m_damage.back().to = to;
    else
        m_damage.push_back({frame.firstSample, to});
}

QString FlacCut::damageReason(qint64 from, qint64 to) const
{
    const qint64 rate = m_layout.info.sampleRate;
    for (const Damage &d : m_damage) {
        if (d.from < to && from < d.to)
            return u"The album is damaged from %1 to %2."_s.arg(clock(d.from / rate), clock((d.to + rate - 1) / rate));
    }
    return {};
}

// One frame's samples (none when it is damaged) into the album's MD5, the MD5 of every piece they belong to, and
// the steps that wait for them.
void FlacCut::takeFrame(int index, const char *samples)
{
    const FlacFrame &frame = m_frames.frames[index];
    const qint64 frameEnd = frame.firstSample + frame.blockSize;
    if (samples && m_damage.empty())
        m_albumMd5.addData(QByteArrayView(samples, frame.blockSize * m_frameBytes));
    while (m_firstOpenPiece < m_pieces.size() && m_pieces[m_firstOpenPiece]->end <= frame.firstSample)
        ++m_firstOpenPiece;
    for (size_t p = m_firstOpenPiece; p < m_pieces.size() && m_pieces[p]->start < frameEnd; ++p) {
        Piece &piece = *m_pieces[p];
        if (piece.end <= frame.firstSample || !piece.failure.isEmpty())
            continue;
        if (!samples) {
            fail(piece, damageReason(piece.start, piece.end));
            continue;
        }
        const qint64 from = std::max(piece.start, frame.firstSample), to = std::min(piece.end, frameEnd);
        piece.md5.addData(
            QByteArrayView(samples + (from - frame.firstSample) * m_frameBytes, (to - from) * m_frameBytes));
        for (size_t s = piece.nextStep; s < piece.plan.steps.size(); ++s) {
            const FlacPieceStep &step = piece.plan.steps[s];
            if (step.from >= frameEnd)
                break;
            if (step.frame >= 0)
                continue;
            const qint64 a = std::max(step.from, frame.firstSample), b = std::min(step.to, frameEnd);
            const char *begin = samples + (a - frame.firstSample) * m_frameBytes;
            piece.stepSamples[s].insert(piece.stepSamples[s].end(), begin, begin + (b - a) * m_frameBytes);
        }
        advance(piece, index);
    }
}

// Writes the piece's steps whose samples are all in, up to and including album frame frameIndex.
void FlacCut::advance(Piece &piece, int frameIndex)
{
    const FlacFrame &frame = m_frames.frames[frameIndex];
    const qint64 frameEnd = frame.firstSample + frame.blockSize;
    while (piece.nextStep < piece.plan.steps.size() && piece.failure.isEmpty()) {
        const FlacPieceStep &step = piece.plan.steps[piece.nextStep];
        if (step.frame >= 0 ? step.frame > frameIndex : step.to > frameEnd)
            return;
        if (step.frame >= 0)
            writeCopy(piece, m_frames.frames[step.frame]);
        else
            writeEncoded(piece, step);
        piece.stepSamples[piece.nextStep] = {};
        ++piece.nextStep;
    }
    if (piece.nextStep == piece.plan.steps.size() && piece.failure.isEmpty()) {
        std::array<quint8, 16> md5;
        const QByteArray sum = piece.md5.result();
        std::memcpy(md5.data(), sum.constData(), md5.size());
        if (!piece.file.finish(md5))
            fail(piece, piece.file.error());
    }
}

void FlacCut::writeCopy(Piece &piece, const FlacFrame &frame)
{
    const QByteArrayView bytes = m_file.data().sliced(frame.offset, frame.size);
    const auto header = parseFlacFrameHeader(bytes);
    const bool variable = !piece.plan.fixedBlockSize;
    const QByteArray rewritten =
        writeFlacFrameHeader(*header, variable, variable ? quint64(frame.firstSample - piece.start) : piece.nextNumber);
    ++piece.nextNumber;
    piece.file.addFrame(rewritten, bytes.sliced(frame.headerLength, frame.size - frame.headerLength - 2),
                        flacCrc16WithHeader(bytes, frame.headerLength, rewritten), frame.blockSize);
}

void FlacCut::writeEncoded(Piece &piece, const FlacPieceStep &step)
{
    const std::vector<char> &samples = piece.stepSamples[piece.nextStep];
    const qint64 count = step.to - step.from;
    const auto frames = encodeFlacFrames(m_layout.info, samples.data(), count, step.blockSize);
    if (!frames || qsizetype(samples.size()) != count * m_frameBytes) {
        fail(piece, u"The samples beside the cut could not be encoded."_s);
        return;
    }
    const bool variable = !piece.plan.fixedBlockSize;
    qint64 at = step.from;
    for (const QByteArray &frame : *frames) {
        const auto header = parseFlacFrameHeader(frame);
        const QByteArray rewritten =
            header ? writeFlacFrameHeader(*header, variable, variable ? quint64(at - piece.start) : piece.nextNumber)
                   : QByteArray();
        const QByteArrayView body = QByteArrayView(frame).sliced(header ? header->length : 0).chopped(2);
        QByteArray whole = rewritten;
        whole += body;
        const quint16 crc = flacCrc16(whole);
        whole += char(crc >> 8);
        whole += char(crc);
        // The frame as it will stand in the piece must give back the album's samples.
        if (!header || at + header->blockSize > step.to ||
            !m_checker->decodesTo(whole, header->blockSize, samples.data() + (at - step.from) * m_frameBytes)) {
            fail(piece, u"The samples beside the cut did not come back the same once encoded."_s);
            return;
        }
        piece.file.addFrame(rewritten, body, crc, header->blockSize);
        at += header->blockSize;
        ++piece.nextNumber;
    }
    if (at != step.to)
        fail(piece, u"The samples beside the cut did not come back the same once encoded."_s);
}

void FlacCut::fail(Piece &piece, const QString &reason)
{
    if (piece.failure.isEmpty())
        piece.failure = reason.isEmpty() ? u"The track could not be cut."_s : reason;
    piece.file.discard();
    piece.stepSamples.clear();
    piece.stepSamples.resize(piece.plan.steps.size());
}

void FlacCut::finish()
{
    const FlacStreamInfo &info = m_layout.info;
    const bool md5Fails = m_damage.empty() && info.hasMd5() &&
                          m_albumMd5.result() != QByteArrayView(info.md5.data(), qsizetype(info.md5.size()));
    for (const auto &piece : m_pieces) {
        if (md5Fails)
            fail(*piece, u"The album is damaged: its audio does not match its MD5 checksum."_s);
        else if (piece->failure.isEmpty() && piece->nextStep != piece->plan.steps.size())
            fail(*piece, u"The track could not be cut."_s);
        m_callbacks.pieceDone({piece->index, piece->failure.isEmpty(), piece->failure});
    }
    for (const LosslessPieceResult &result : m_early)
        m_callbacks.pieceDone(result);
}

void FlacCut::run()
{
    if (!plan())
        return;
    makeChunks();
    const int helpers = std::clamp(QThread::idealThreadCount(), 1, 4) - 1;
    std::vector<std::thread> threads;
    for (int i = 0; i < helpers; ++i)
        threads.emplace_back([this] { work(false); });
    work(true);
    for (std::thread &thread : threads)
        thread.join();
    if (m_stop) {
        for (const auto &piece : m_pieces)
            piece->file.discard();
        return;
    }
    finish();
}

} // namespace

void cutFlacImage(const LosslessCutRequest &request, const LosslessCallbacks &callbacks)
{
    FlacCut(request, callbacks).run();
}

} // namespace velvane
