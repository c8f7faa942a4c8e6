#include "PngWriter.h"

#include <cstdio>
#include <png.h>
#include <stdexcept>
#include <vector>
#include <zlib.h>

namespace art
{

void Unpremultiply(unsigned int pixel, unsigned char* rgba)
{
    const unsigned a = pixel >> 24;
    if (a == 0)
    {
        rgba[0] = rgba[1] = rgba[2] = rgba[3] = 0;
        return;
    }
    for (int i = 0; i < 3; ++i)
    {
        const unsigned c = (pixel >> (16 - 8 * i)) & 0xFF;
        // Rounded, and capped: a premultiplied channel above its alpha is not a colour.
        const unsigned straight = (c * 255 + a / 2) / a;
        rgba[i] = static_cast<unsigned char>(straight > 255 ? 255 : straight);
    }
    rgba[3] = static_cast<unsigned char>(a);
}

namespace
{

struct PngFile
{
    FILE* file = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngFile()
    {
        if (png)
            png_destroy_write_struct(&png, info ? &info : nullptr);
        if (file)
            std::fclose(file);
    }
};

void Encode(PngFile& out, int width, int height, const std::vector<png_bytep>& rows)
{
    if (setjmp(png_jmpbuf(out.png)))
        throw std::runtime_error("PNG encoding failed");
    png_init_io(out.png, out.file);
    png_set_IHDR(out.png, out.info, width, height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    png_set_compression_level(out.png, 9);
    png_set_compression_mem_level(out.png, 9);
    png_set_compression_strategy(out.png, Z_DEFAULT_STRATEGY);
    png_set_compression_window_bits(out.png, 15);
    png_set_filter(out.png, PNG_FILTER_TYPE_BASE, PNG_ALL_FILTERS);
    png_write_info(out.png, out.info);
    png_write_image(out.png, const_cast<png_bytepp>(rows.data()));
    png_write_end(out.png, nullptr);
}

} // namespace

void WritePng(const std::string& path, cairo_surface_t* surface)
{
    const int width = cairo_image_surface_get_width(surface);
    const int height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);

    std::vector<unsigned char> pixels(size_t(width) * height * 4);
    for (int y = 0; y < height; ++y)
    {
        const auto* src = reinterpret_cast<const unsigned int*>(data + size_t(y) * stride);
        for (int x = 0; x < width; ++x)
            Unpremultiply(src[x], &pixels[(size_t(y) * width + x) * 4]);
    }
    std::vector<png_bytep> rows(height);
    for (int y = 0; y < height; ++y)
        rows[y] = &pixels[size_t(y) * width * 4];

    const std::string temporary = path + ".part";
    {
        PngFile out;
        out.file = std::fopen(temporary.c_str(), "wb");
        if (!out.file)
            throw std::runtime_error("cannot write " + temporary);
        out.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        out.info = out.png ? png_create_info_struct(out.png) : nullptr;
        if (!out.info)
            throw std::runtime_error("libpng could not start");
        try
        {
            Encode(out, width, height, rows);
        }
        catch (...)
        {
            std::remove(temporary.c_str());
            throw;
        }
        if (std::fflush(out.file) != 0)
        {
            std::remove(temporary.c_str());
            throw std::runtime_error("cannot write " + temporary);
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0)
    {
        std::remove(temporary.c_str());
        throw std::runtime_error("cannot rename " + temporary + " to " + path);
    }
}

} // namespace art
