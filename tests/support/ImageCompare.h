#pragma once
// Picture comparison with a tolerance: anti-aliasing and rounding may move a channel a little,
// a moved, missing or wrongly coloured control changes many pixels a lot. On failure a
// difference image (red where pixels differ, the expected picture faded elsewhere) is written
// next to the test's output so a person can look at it.

#include "app/files/PngFile.h"
#include "editor/LICE_Bitmap.h"
#include "editor/PngCodec.h"

#include <cstdlib>
#include <memory>
#include <string>

struct ImageDifference
{
    bool sameSize = false;
    int differing = 0; // pixels with a channel off by more than the tolerance
    int firstX = -1;
    int firstY = -1;
};

inline ImageDifference CompareImages(const LICE_IBitmap& expected, const LICE_IBitmap& actual,
                                     int channelTolerance, const std::string& diffPath = "")
{
    ImageDifference d;
    d.sameSize = expected.getWidth() == actual.getWidth() &&
                 expected.getHeight() == actual.getHeight();
    if (!d.sameSize)
        return d;
    LICE_MemBitmap diff(expected.getWidth(), expected.getHeight());
    for (int y = 0; y < expected.getHeight(); ++y)
        for (int x = 0; x < expected.getWidth(); ++x)
        {
            const LICE_pixel e = *expected.PixelAt(x, y);
            const LICE_pixel a = *actual.PixelAt(x, y);
            const int dr = std::abs(int(LICE_GETR(e)) - int(LICE_GETR(a)));
            const int dg = std::abs(int(LICE_GETG(e)) - int(LICE_GETG(a)));
            const int db = std::abs(int(LICE_GETB(e)) - int(LICE_GETB(a)));
            const int da = std::abs(int(LICE_GETA(e)) - int(LICE_GETA(a)));
            const bool off = dr > channelTolerance || dg > channelTolerance ||
                             db > channelTolerance || da > channelTolerance;
            if (off && d.differing++ == 0)
            {
                d.firstX = x;
                d.firstY = y;
            }
            const unsigned grey = (LICE_GETR(e) + LICE_GETG(e) + LICE_GETB(e)) / 12;
            *diff.PixelAt(x, y) = off ? LICE_RGBA(255, 0, 0, 255) : LICE_RGBA(grey, grey, grey, 255);
        }
    if (d.differing > 0 && !diffPath.empty())
    {
        std::string error;
        app::WritePngFile(diff, diffPath, error);
    }
    return d;
}

inline std::unique_ptr<LICE_IBitmap> LoadPicture(const std::string& path)
{
    return std::unique_ptr<LICE_IBitmap>(LoadPngFile(path.c_str()));
}
