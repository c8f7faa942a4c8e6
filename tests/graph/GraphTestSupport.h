#pragma once
// Helpers of the graph tests: a minimal plug-in that owns the mutex and records parameter
// pushes, pixel access in the graph's y-up coordinates and ink measurement.

#include "editor/BitmapResources.h"
#include "editor/LICE_Bitmap.h"
#include "framework/IPlugBase.h"
#include "framework/WDL_Mutex.h"
#include "support/MutexProbe.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace graphtest
{
// A plug-in base with every host-facing hook stubbed out.
class TestPlug : public IPlugBase
{
public:
    explicit TestPlug(int nParams = 19)
        : IPlugBase(nParams, "2-2", 1, "Test", "Test", "Test", 0x10000, 1, 1, 0, false, false,
                    false, kAPIAU)
    {
    }
    void OnEditorResize(int, int) override {}
    void BeginInformHostOfParamChange(int) override {}
    void InformHostOfParamChange(int, double) override {}
    void EndInformHostOfParamChange(int) override {}
    bool GetTime(TimeInfo*) override { return false; }
    void ResizeGraphics(int, int) override {}
    bool SendMidiMessage(IMidiMsg*) override { return false; }
    void SetParameterFromGUI(int paramIdx, double value) override
    {
        pushes.push_back({paramIdx, value});
    }

    struct Push
    {
        int paramIdx;
        double value;
    };
    std::vector<Push> pushes;
};

// Pixel of the pixel band [x, x + 1] x [y, y + 1] of a graph of the bitmap's height, y up.
inline LICE_pixel PixelUp(const LICE_IBitmap* bitmap, int x, int y)
{
    const LICE_pixel* p = bitmap->PixelAt(x, bitmap->getHeight() - 1 - y);
    return p ? *p : 0;
}

// Pixel counted from the top-left row, as the frame is shown.
inline LICE_pixel PixelDown(const LICE_IBitmap* bitmap, int x, int row)
{
    const LICE_pixel* p = bitmap->PixelAt(x, row);
    return p ? *p : 0;
}

// Rows (from the top) holding a pixel whose alpha exceeds the threshold; -1 when none.
struct InkRows
{
    int top = -1;
    int bottom = -1;
};

inline InkRows MeasureInk(const LICE_IBitmap* bitmap, unsigned alphaThreshold = 127,
                          int columns = -1)
{
    InkRows ink;
    const int w = columns < 0 ? bitmap->getWidth() : columns;
    for (int row = 0; row < bitmap->getHeight(); ++row)
        for (int x = 0; x < w; ++x)
            if (LICE_GETA(PixelDown(bitmap, x, row)) > alphaThreshold)
            {
                if (ink.top < 0)
                    ink.top = row;
                ink.bottom = row;
                break;
            }
    return ink;
}

inline int CountPixels(const LICE_IBitmap* bitmap, LICE_pixel value)
{
    int n = 0;
    for (int row = 0; row < bitmap->getHeight(); ++row)
        for (int x = 0; x < bitmap->getWidth(); ++x)
            n += PixelDown(bitmap, x, row) == value ? 1 : 0;
    return n;
}

inline std::string FontPath()
{
    WDL_String path;
    ResourcePath("font.ttf", &path);
    return path.Get();
}
} // namespace graphtest
