#include "core/lossless/flacdecode.h"

#include "core/lossless/flacframe.h"

#include <FLAC/stream_decoder.h>

#include <QByteArray>
#include <QtEndian>

#include <cstring>
#include <vector>

namespace velvane {

struct FlacFrameDecoder::State
{
    FLAC__StreamDecoder *decoder = nullptr;
    FlacStreamInfo info;
    QByteArray header; // "fLaC" and the STREAMINFO, read once at the start
    QByteArrayView source;
    char *out = nullptr;
    int expectedBlockSize = 0;
    bool written = false;
    bool failed = false;

    template <typename Store> void interleave(const FLAC__int32 *const buffer[], int blockSize, int width, Store store)
    {
        const int channels = info.channels;
        for (int c = 0; c < channels; ++c) {
            const FLAC__int32 *in = buffer[c];
            uchar *o = reinterpret_cast<uchar *>(out) + c * width;
            const qsizetype step = qsizetype(channels) * width;
            for (int i = 0; i < blockSize; ++i, o += step)
                store(o, in[i]);
        }
    }

    void pack(const FLAC__int32 *const buffer[], int blockSize)
    {
        // CD audio, by far the most common, one sample pair at a time.
        if (info.channels == 2 && info.bytesPerSample() == 2) {
            uchar *o = reinterpret_cast<uchar *>(out);
            for (int i = 0; i < blockSize; ++i, o += 4)
                qToLittleEndian<quint32>(quint16(buffer[0][i]) | quint32(quint16(buffer[1][i])) << 16, o);
            return;
        }
        switch (info.bytesPerSample()) {
        case 1:
            interleave(buffer, blockSize, 1, [](uchar *o, FLAC__int32 v) { o[0] = uchar(v); });
            break;
        case 2:
            interleave(buffer, blockSize, 2, [](uchar *o, FLAC__int32 v) {
                o[0] = uchar(v);
                o[1] = uchar(v >> 8);
            });
            break;
        case 3:
            interleave(buffer, blockSize, 3, [](uchar *o, FLAC__int32 v) {
                o[0] = uchar(v);
                o[1] = uchar(v >> 8);
                o[2] = uchar(v >> 16);
            });
            break;
        default:
            interleave(buffer, blockSize, 4, [](uchar *o, FLAC__int32 v) {
                o[0] = uchar(v);
                o[1] = uchar(v >> 8);
                o[2] = uchar(v >> 16);
                o[3] = uchar(v >> 24);
            });
            break;
        }
    }

    static FLAC__StreamDecoderReadStatus read(const FLAC__StreamDecoder *, FLAC__byte buffer[], size_t *bytes,
                                              void *data)
    {
        auto *self = static_cast<State *>(data);
        const size_t n = std::min<size_t>(*bytes, size_t(self->source.size()));
        std::memcpy(buffer, self->source.data(), n);
        self->source = self->source.sliced(qsizetype(n));
        *bytes = n;
        return n ? FLAC__STREAM_DECODER_READ_STATUS_CONTINUE : FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM;
    }

    static FLAC__StreamDecoderWriteStatus write(const FLAC__StreamDecoder *, const FLAC__Frame *frame,
                                                const FLAC__int32 *const buffer[], void *data)
    {
        auto *self = static_cast<State *>(data);
        if (self->written || self->failed || int(frame->header.blocksize) != self->expectedBlockSize ||
            int(frame->header.channels) != self->info.channels ||
            int(frame->header.bits_per_sample) != self->info.bitsPerSample) {
            self->failed = true;
            return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
        }
        self->pack(buffer, self->expectedBlockSize);
        self->written = true;
        return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    }

    static void error(const FLAC__StreamDecoder *, FLAC__StreamDecoderErrorStatus, void *data)
    {
        static_cast<State *>(data)->failed = true;
    }
};

FlacFrameDecoder::FlacFrameDecoder(const FlacStreamInfo &info)
    : m_state(std::make_unique<State>())
{
    State &s = *m_state;
    s.info = info;
    FlacStreamInfo plain = info;
    plain.md5 = {};
    plain.totalSamples = 0;
    plain.minFrameSize = plain.maxFrameSize = 0;
    s.header = QByteArray("fLaC\x80\0\0\x22", 8);
    s.header += flacStreamInfoBody(plain);
    s.source = s.header;
    s.decoder = FLAC__stream_decoder_new();
    if (!s.decoder)
        return;
    FLAC__stream_decoder_set_md5_checking(s.decoder, false);
    if (FLAC__stream_decoder_init_stream(s.decoder, &State::read, nullptr, nullptr, nullptr, nullptr, &State::write,
                                         nullptr, &State::error, &s) != FLAC__STREAM_DECODER_INIT_STATUS_OK ||
        !FLAC__stream_decoder_process_until_end_of_metadata(s.decoder)) {
        FLAC__stream_decoder_delete(s.decoder);
        s.decoder = nullptr;
    }
}

FlacFrameDecoder::~FlacFrameDecoder()
{
    if (m_state->decoder) {
        FLAC__stream_decoder_finish(m_state->decoder);
        FLAC__stream_decoder_delete(m_state->decoder);
    }
}

bool FlacFrameDecoder::decode(QByteArrayView frame, int blockSize, char *out)
{
    State &s = *m_state;
    // The CRC-16 over a whole frame, its own included, comes out zero only when the frame ends where it is said to.
    if (!s.decoder || frame.size() < 2 || flacCrc16(frame) != 0)
        return false;
    FLAC__stream_decoder_flush(s.decoder);
    s.source = frame;
    s.out = out;
    s.expectedBlockSize = blockSize;
    s.written = s.failed = false;
    const bool processed = FLAC__stream_decoder_process_single(s.decoder);
    return processed && s.written && !s.failed && s.source.isEmpty();
}

bool FlacFrameDecoder::decodesTo(QByteArrayView frame, int blockSize, const char *expected)
{
    const qsizetype size = qsizetype(blockSize) * m_state->info.channels * m_state->info.bytesPerSample();
    std::vector<char> samples(size_t(size), 0);
    return decode(frame, blockSize, samples.data()) && std::memcmp(samples.data(), expected, size_t(size)) == 0;
}

} // namespace velvane
