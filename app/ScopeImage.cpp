#include "app/ScopeImage.h"

#include "app/TempFile.h"

#include "editor/LICE_Bitmap.h"
#include "engine/Parandel.h"
#include "graph/GraphControl10.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace app
{
namespace
{
// libpng reports errors through longjmp; keep everything that needs cleaning outside it.
bool WritePng(const LICE_IBitmap& bmp, FILE* f)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info)
    {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    const int w = bmp.getWidth();
    const int h = bmp.getHeight();
    std::vector<png_byte> row(static_cast<size_t>(w) * 4);
    if (setjmp(png_jmpbuf(png)))
    {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, f);
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
    png_destroy_write_struct(&png, &info);
    return true;
}
} // namespace

int ScopeModeFromName(const std::string& name)
{
    for (int i = 0; i < 5; ++i)
        if (name == kScopeModeNames[i])
            return i;
    return -1;
}

bool WriteScopePng(Parandel& plug, int mode, const std::string& path, std::string& error)
{
    GraphControl10* graph = plug.GetVectorscopeGraph(mode);
    if (!graph || !graph->IsEnabled())
    {
        error = "the vectorscope graph for this mode is not available";
        return false;
    }
    graph->SetNeedsRender(true);
    const LICE_IBitmap* bmp = graph->RenderGL(true);
    if (!bmp)
    {
        error = "cannot render the vectorscope (are the bundle resources installed?)";
        return false;
    }
    return WritePngFile(*bmp, path, error);
}

bool WritePngFile(const LICE_IBitmap& bmp, const std::string& path, std::string& error)
{
    std::string tmp;
    const int fd = CreateTempBeside(path, tmp, error);
    if (fd < 0)
        return false;
    FILE* f = fdopen(fd, "wb");
    const bool ok = f && WritePng(bmp, f);
    const bool closed = f ? std::fclose(f) == 0 : (::close(fd), false);
    if (!ok || !closed || std::rename(tmp.c_str(), path.c_str()) != 0)
    {
        error =
            "cannot write '" + path + "'" + (errno ? std::string(": ") + std::strerror(errno) : "");
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}
} // namespace app
