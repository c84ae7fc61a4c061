#include "core/cover/imagedecode.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <png.h>

// Both decoders report a fatal error by jumping out of the call that met it; between the jump's setting and its
// landing only plain C data lives, so that no destructor is skipped.

namespace velvane {

namespace {

struct JpegErrors
{
    jpeg_error_mgr manager;
    std::jmp_buf landing;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void jpegFails(j_common_ptr info)
{
    auto *errors = reinterpret_cast<JpegErrors *>(info->err);
    info->err->format_message(info, errors->message);
    std::longjmp(errors->landing, 1);
}

void jpegWarns(j_common_ptr, int)
{}

// True when every scanline decoded; otherwise errors->message says why.
bool decodeJpegRows(jpeg_decompress_struct *info, JpegErrors *errors, const QByteArray &bytes)
{
    if (setjmp(errors->landing))
        return false;
    jpeg_create_decompress(info);
    jpeg_mem_src(info, reinterpret_cast<const unsigned char *>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(info, TRUE);
    info->scale_num = 1;
    info->scale_denom = 8;
    jpeg_start_decompress(info);
    JSAMPARRAY row = (*info->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(info), JPOOL_IMAGE,
                                                info->output_width * JDIMENSION(info->output_components), 1);
    while (info->output_scanline < info->output_height)
        jpeg_read_scanlines(info, row, 1);
    jpeg_finish_decompress(info);
    return true;
}

struct PngSource
{
    const png_byte *data;
    size_t size;
    size_t at;
    char message[256];
};

void pngReads(png_structp png, png_bytep out, size_t n)
{
    auto *source = static_cast<PngSource *>(png_get_io_ptr(png));
    if (n > source->size - source->at)
        png_error(png, "the image ends early");
    std::memcpy(out, source->data + source->at, n);
    source->at += n;
}

[[noreturn]] void pngFails(png_structp png, png_const_charp message)
{
    auto *source = static_cast<PngSource *>(png_get_error_ptr(png));
    std::snprintf(source->message, sizeof source->message, "%s", message);
    png_longjmp(png, 1);
}

void pngWarns(png_structp, png_const_charp)
{}

bool decodePngRows(png_structp png, png_infop info, png_bytep volatile *row, int *width, int *height)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_info(png, info);
    *width = int(png_get_image_width(png, info));
    *height = int(png_get_image_height(png, info));
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    *row = static_cast<png_bytep>(png_malloc(png, png_get_rowbytes(png, info)));
    for (int pass = 0; pass < passes; ++pass) {
        for (int y = 0; y < *height; ++y)
            png_read_row(png, *row, nullptr);
    }
    png_read_end(png, nullptr);
    return true;
}

} // namespace

DecodedImage decodeJpeg(const QByteArray &bytes)
{
    jpeg_decompress_struct info;
    JpegErrors errors;
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = jpegFails;
    errors.manager.emit_message = jpegWarns;
    const bool decoded = decodeJpegRows(&info, &errors, bytes);
    DecodedImage image{int(info.image_width), int(info.image_height), {}};
    jpeg_destroy_decompress(&info);
    if (!decoded)
        image = {0, 0, QString::fromLocal8Bit(errors.message)};
    return image;
}

DecodedImage decodePng(const QByteArray &bytes)
{
    PngSource source{reinterpret_cast<const png_byte *>(bytes.constData()), size_t(bytes.size()), 0, {}};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, pngFails, pngWarns);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return {0, 0, QStringLiteral("out of memory")};
    }
    png_set_read_fn(png, &source, pngReads);
    png_bytep volatile row = nullptr;
    int width = 0, height = 0;
    const bool decoded = decodePngRows(png, info, &row, &width, &height);
    png_free(png, row);
    png_destroy_read_struct(&png, &info, nullptr);
    if (!decoded)
        return {0, 0, QString::fromLocal8Bit(source.message)};
    return {width, height, {}};
}

} // namespace velvane
