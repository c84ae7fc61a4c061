#include "core/lossless/wavtoflac.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>

#include <QtEndian>

#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace velvane {

namespace {

struct EncoderDeleter
{
    void operator()(FLAC__StreamEncoder *encoder) const { FLAC__stream_encoder_delete(encoder); }
};

struct MetadataDeleter
{
    void operator()(FLAC__StreamMetadata *block) const { FLAC__metadata_object_delete(block); }
};

FLAC__StreamEncoderWriteStatus writeOut(const FLAC__StreamEncoder *, const FLAC__byte buffer[], size_t bytes, uint32_t,
                                        uint32_t, void *out)
{
    auto &file = *static_cast<QFile *>(out);
    return file.write(reinterpret_cast<const char *>(buffer), qint64(bytes)) == qint64(bytes)
               ? FLAC__STREAM_ENCODER_WRITE_STATUS_OK
               : FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
}

// The encoder comes back to the front to write the finished STREAMINFO (sample count, frame sizes, MD5).
FLAC__StreamEncoderSeekStatus seekOut(const FLAC__StreamEncoder *, FLAC__uint64 offset, void *out)
{
    return static_cast<QFile *>(out)->seek(qint64(offset)) ? FLAC__STREAM_ENCODER_SEEK_STATUS_OK
                                                           : FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR;
}

FLAC__StreamEncoderTellStatus tellOut(const FLAC__StreamEncoder *, FLAC__uint64 *offset, void *out)
{
    *offset = FLAC__uint64(static_cast<QFile *>(out)->pos());
    return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
}

void toSamples(const char *bytes, qsizetype count, int bits, std::vector<FLAC__int32> &samples)
{
    samples.resize(size_t(count));
    if (bits == 16) {
        for (qsizetype i = 0; i < count; ++i)
            samples[size_t(i)] = qFromLittleEndian<qint16>(bytes + 2 * i);
        return;
    }
    for (qsizetype i = 0; i < count; ++i) {
        const auto *p = reinterpret_cast<const unsigned char *>(bytes + 3 * i);
        // Put at the top of 32 bits and shifted back down, the 24-bit value gets its sign.
        samples[size_t(i)] = FLAC__int32(quint32(p[0]) << 8 | quint32(p[1]) << 16 | quint32(p[2]) << 24) >> 8;
    }
}

} // namespace

WavEncoding encodeWavAsFlac(QFile &album, const WavImage &image, qint64 first, qint64 frames, QFile &out, int tagRoom,
                            const std::function<bool()> &stopRequested)
{
    const std::unique_ptr<FLAC__StreamEncoder, EncoderDeleter> encoder(FLAC__stream_encoder_new());
    const std::unique_ptr<FLAC__StreamMetadata, MetadataDeleter> comments(
        FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT));
    const std::unique_ptr<FLAC__StreamMetadata, MetadataDeleter> padding(
        FLAC__metadata_object_new(FLAC__METADATA_TYPE_PADDING));
    if (!encoder || !comments || !padding)
        return {false, u"There is not enough memory to encode FLAC."_s};
    padding->length = unsigned(std::max(tagRoom, 0));
    FLAC__StreamMetadata *blocks[] = {comments.get(), padding.get()};

    FLAC__StreamEncoder *e = encoder.get();
    bool set = FLAC__stream_encoder_set_channels(e, unsigned(image.channels)) &&
               FLAC__stream_encoder_set_bits_per_sample(e, unsigned(image.bitsPerSample)) &&
               FLAC__stream_encoder_set_sample_rate(e, unsigned(image.sampleRate)) &&
               FLAC__stream_encoder_set_compression_level(e, 5) &&
               FLAC__stream_encoder_set_total_samples_estimate(e, FLAC__uint64(frames)) &&
               FLAC__stream_encoder_set_metadata(e, blocks, tagRoom > 0 ? 2 : 1);
    if (!set || FLAC__stream_encoder_init_stream(e, writeOut, seekOut, tellOut, nullptr, &out) !=
                    FLAC__STREAM_ENCODER_INIT_STATUS_OK)
        return {false, u"The FLAC encoder does not take this audio ("_s %
                           QString::fromLatin1(FLAC__stream_encoder_get_resolved_state_string(e)) % u")."_s};

    if (!album.seek(image.dataOffset + first * image.blockAlign))
        return {false, album.errorString()};
    const qint64 blockFrames = 1 << 16;
    QByteArray bytes;
    std::vector<FLAC__int32> samples;
    for (qint64 left = frames; left > 0;) {
        if (stopRequested && stopRequested()) {
            FLAC__stream_encoder_finish(e);
            return {true, {}};
        }
        const qint64 take = std::min(left, blockFrames);
        bytes = album.read(take * image.blockAlign);
        if (bytes.size() != take * image.blockAlign)
            return {false, u"The album could not be read: "_s % album.errorString()};
        toSamples(bytes.constData(), bytes.size() * 8 / image.bitsPerSample, image.bitsPerSample, samples);
        if (!FLAC__stream_encoder_process_interleaved(e, samples.data(), unsigned(take)))
            return {false, u"The FLAC piece could not be written: "_s % out.errorString()};
        left -= take;
    }
    if (!FLAC__stream_encoder_finish(e))
        return {false, u"The FLAC piece could not be finished: "_s % out.errorString()};
    return {};
}

} // namespace velvane
