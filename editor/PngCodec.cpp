#include "editor/PngCodec.h"

#include "editor/LICE_Bitmap.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

namespace
{
// Larger images are refused rather than risking an oversized allocation.
constexpr long long kMaxImagePixels = 1LL << 26;

// What libpng's callbacks report to the call that runs it: the reason for a failure and, when
// writing, where the bytes go.
struct PngStatus
{
    std::string message;
    std::string* bytes = nullptr;
};

// libpng would print to stderr and abort the process without these: the error is kept and the
// call unwinds to its setjmp; warnings are dropped.
void OnPngError(png_structp png, png_const_charp message)
{
    static_cast<PngStatus*>(png_get_error_ptr(png))->message = message ? message : "unknown error";
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// ---- Reading ----

struct PngReader
{
    PngStatus status;
    png_structp png = nullptr;
    png_infop info = nullptr;
    FILE* file = nullptr;

    ~PngReader()
    {
        if (png)
            png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        if (file)
            std::fclose(file);
    }
};

// The libpng part, kept free of objects with destructors because an error leaves it by longjmp.
// Returns the decoded RGBA rows in *rgba (malloc'd, owned by the caller) or false.
bool DecodePng(PngReader* reader, unsigned char** rgba, int* width, int* height)
{
    *rgba = nullptr;
    if (setjmp(png_jmpbuf(reader->png)))
    {
        std::free(*rgba);
        *rgba = nullptr;
        return false;
    }
    png_init_io(reader->png, reader->file);
    png_read_info(reader->png, reader->info);
    const png_uint_32 w = png_get_image_width(reader->png, reader->info);
    const png_uint_32 h = png_get_image_height(reader->png, reader->info);
    const int colorType = png_get_color_type(reader->png, reader->info);
    const int bitDepth = png_get_bit_depth(reader->png, reader->info);
    if (w == 0 || h == 0 || static_cast<long long>(w) * h > kMaxImagePixels)
        return false;

    if (colorType == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(reader->png);
    if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8)
        png_set_expand_gray_1_2_4_to_8(reader->png);
    if (png_get_valid(reader->png, reader->info, PNG_INFO_tRNS))
        png_set_tRNS_to_alpha(reader->png);
    if (bitDepth == 16)
        png_set_strip_16(reader->png);
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(reader->png);
    if (!(colorType & PNG_COLOR_MASK_ALPHA) &&
        !png_get_valid(reader->png, reader->info, PNG_INFO_tRNS))
        png_set_filler(reader->png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(reader->png);
    png_read_update_info(reader->png, reader->info);
    if (png_get_rowbytes(reader->png, reader->info) != static_cast<png_size_t>(w) * 4)
        return false;

    *rgba = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(w) * h * 4));
    png_bytep* rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * h));
    if (!*rgba || !rows)
    {
        std::free(rows);
        std::free(*rgba);
        *rgba = nullptr;
        return false;
    }
    for (png_uint_32 y = 0; y < h; ++y)
        rows[y] = *rgba + static_cast<size_t>(y) * w * 4;
    // From here a failed read must also free the row list.
    if (setjmp(png_jmpbuf(reader->png)))
    {
        std::free(rows);
        std::free(*rgba);
        *rgba = nullptr;
        return false;
    }
    png_read_image(reader->png, rows);
    png_read_end(reader->png, nullptr);
    std::free(rows);
    *width = static_cast<int>(w);
    *height = static_cast<int>(h);
    return true;
}

// ---- Writing ----

void AppendBytes(png_structp png, png_bytep data, png_size_t n)
{
    auto* status = static_cast<PngStatus*>(png_get_io_ptr(png));
    status->bytes->append(reinterpret_cast<const char*>(data), n);
}

void NoFlush(png_structp) {}

// Everything libpng touches between setjmp and a longjmp lives outside this function, so that
// the jump leaves nothing to destroy.
bool EncodeRows(png_structp png, png_infop info, const LICE_IBitmap& bmp,
                std::vector<png_byte>& row)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    const int w = bmp.getWidth();
    const int h = bmp.getHeight();
    png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < h; ++y)
    {
        const LICE_pixel* src = bmp.PixelAt(0, y);
        for (int x = 0; x < w; ++x)
        {
            row[4 * x] = static_cast<png_byte>(LICE_GETR(src[x]));
            row[4 * x + 1] = static_cast<png_byte>(LICE_GETG(src[x]));
            row[4 * x + 2] = static_cast<png_byte>(LICE_GETB(src[x]));
            row[4 * x + 3] = static_cast<png_byte>(LICE_GETA(src[x]));
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    return true;
}
} // namespace

LICE_IBitmap* LoadPngFile(const char* path, bool flipped)
{
    if (!path || !path[0])
        return nullptr;
    PngReader reader;
    reader.file = std::fopen(path, "rb");
    if (!reader.file)
        return nullptr;
    unsigned char signature[8];
    if (std::fread(signature, 1, sizeof(signature), reader.file) != sizeof(signature) ||
        png_sig_cmp(signature, 0, sizeof(signature)) != 0)
        return nullptr;
    reader.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &reader.status, OnPngError,
                                        OnPngWarning);
    if (!reader.png)
        return nullptr;
    reader.info = png_create_info_struct(reader.png);
    if (!reader.info)
        return nullptr;
    png_set_sig_bytes(reader.png, sizeof(signature));

    unsigned char* rgba = nullptr;
    int w = 0, h = 0;
    if (!DecodePng(&reader, &rgba, &w, &h))
        return nullptr;

    LICE_MemBitmap* bitmap = new (std::nothrow) LICE_MemBitmap(w, h, flipped);
    if (!bitmap || bitmap->getWidth() != w || bitmap->getHeight() != h)
    {
        delete bitmap;
        std::free(rgba);
        return nullptr;
    }
    const unsigned char* src = rgba;
    for (int y = 0; y < h; ++y)
    {
        LICE_pixel* row = bitmap->PixelAt(0, y);
        for (int x = 0; x < w; ++x, src += 4)
            row[x] = LICE_RGBA(src[0], src[1], src[2], src[3]);
    }
    std::free(rgba);
    return bitmap;
}

bool EncodePng(const LICE_IBitmap& bitmap, std::string& bytes, std::string& error)
{
    bytes.clear();
    PngStatus status;
    status.bytes = &bytes;
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, &status, OnPngError, OnPngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<png_byte> row(static_cast<size_t>(bitmap.getWidth()) * 4);
    bool ok = false;
    if (info)
    {
        png_set_write_fn(png, &status, AppendBytes, NoFlush);
        ok = EncodeRows(png, info, bitmap, row);
    }
    png_destroy_write_struct(&png, info ? &info : nullptr);
    if (!ok)
        error = "cannot encode the image as PNG: " +
                (status.message.empty() ? std::string("out of memory") : status.message);
    return ok;
}
