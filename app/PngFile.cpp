#include "app/PngFile.h"

#include "app/TempFile.h"
#include "editor/LICE_Bitmap.h"

#include <png.h>

#include <csetjmp>
#include <vector>

namespace app
{
namespace
{
// Where libpng's callbacks leave the bytes and the reason for a failure.
struct PngSink
{
    std::string* bytes;
    std::string message;
};

void AppendBytes(png_structp png, png_bytep data, png_size_t n)
{
    auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
    sink->bytes->append(reinterpret_cast<const char*>(data), n);
}

void NoFlush(png_structp) {}

// libpng would print to stderr and abort the process without these: the error is kept and
// the encoder unwinds to its setjmp; warnings are dropped.
void OnPngError(png_structp png, png_const_charp message)
{
    auto* sink = static_cast<PngSink*>(png_get_error_ptr(png));
    sink->message = message ? message : "unknown error";
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

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

bool EncodePng(const LICE_IBitmap& bitmap, std::string& bytes, std::string& error)
{
    bytes.clear();
    PngSink sink{&bytes, {}};
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, OnPngError, OnPngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<png_byte> row(static_cast<size_t>(bitmap.getWidth()) * 4);
    bool ok = false;
    if (info)
    {
        png_set_write_fn(png, &sink, AppendBytes, NoFlush);
        ok = EncodeRows(png, info, bitmap, row);
    }
    png_destroy_write_struct(&png, info ? &info : nullptr);
    if (!ok)
        error = "cannot encode the image as PNG: " +
                (sink.message.empty() ? std::string("out of memory") : sink.message);
    return ok;
}

bool WritePngFile(const LICE_IBitmap& bitmap, const std::string& path, std::string& error)
{
    std::string bytes;
    return EncodePng(bitmap, bytes, error) && WriteFileAtomically(path, bytes, error);
}
} // namespace app
