#include "core/lossless/flacencode.h"

#include <FLAC/stream_encoder.h>

#include <memory>
#include <vector>

namespace velvane {

namespace {

struct Frames
{
    QList<QByteArray> frames;
};

FLAC__StreamEncoderWriteStatus collect(const FLAC__StreamEncoder *, const FLAC__byte buffer[], size_t bytes,
                                       uint32_t samples, uint32_t, void *data)
{
    // Metadata comes with no samples; libFLAC hands over each frame in one piece.
    if (samples > 0)
        static_cast<Frames *>(data)->frames << QByteArray(reinterpret_cast<const char *>(buffer), qsizetype(bytes));
    return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
}

std::vector<FLAC__int32> unpack(const FlacStreamInfo &info, const char *samples, qint64 count)
{
    const int width = info.bytesPerSample();
    std::vector<FLAC__int32> values(size_t(count * info.channels));
    const auto *in = reinterpret_cast<const uchar *>(samples);
    for (auto &value : values) {
        quint32 v = 0;
        for (int b = 0; b < width; ++b)
            v |= quint32(in[b]) << (8 * b);
        in += width;
        const int unused = 32 - 8 * width;
        value = FLAC__int32(v << unused) >> unused;
    }
    return values;
}

} // namespace

std::optional<QList<QByteArray>> encodeFlacFrames(const FlacStreamInfo &info, const char *samples, qint64 count,
                                                  int blockSize)
{
    const std::unique_ptr<FLAC__StreamEncoder, decltype(&FLAC__stream_encoder_delete)> encoder(
        FLAC__stream_encoder_new(), &FLAC__stream_encoder_delete);
    if (!encoder || count <= 0)
        return std::nullopt;
    FLAC__StreamEncoder *e = encoder.get();
    const int size = std::max(blockSize, 16);
    // Only the few frames beside each cut come through here, so they get the strongest preset: never looser than
    // the album's own.
    FLAC__stream_encoder_set_compression_level(e, 8);
    FLAC__stream_encoder_set_channels(e, uint32_t(info.channels));
    FLAC__stream_encoder_set_bits_per_sample(e, uint32_t(info.bitsPerSample));
    FLAC__stream_encoder_set_sample_rate(e, uint32_t(info.sampleRate));
    FLAC__stream_encoder_set_blocksize(e, uint32_t(size));
    FLAC__stream_encoder_set_total_samples_estimate(e, quint64(count));
    FLAC__stream_encoder_set_streamable_subset(e, size <= 4608 || (info.sampleRate > 48000 && size <= 16384));
    Frames out;
    if (FLAC__stream_encoder_init_stream(e, &collect, nullptr, nullptr, nullptr, &out) !=
        FLAC__STREAM_ENCODER_INIT_STATUS_OK)
        return std::nullopt;
    const std::vector<FLAC__int32> values = unpack(info, samples, count);
    const bool encoded = FLAC__stream_encoder_process_interleaved(e, values.data(), uint32_t(count));
    if (!FLAC__stream_encoder_finish(e) || !encoded)
        return std::nullopt;
    return out.frames;
}

} // namespace velvane
