#pragma once
// The small live picture a host shows in its mixer strip (Ardour's inline display): a polar
// scope of the last half second of output over a correlation bar.
//
// The extension is not among the LV2 headers; it is declared here from its published facts: the
// plug-in lists the interface as extension data and queue_draw as an optional feature; the
// host calls render on a non-real-time thread and shows the ARGB32 (Cairo) surface it returns,
// which the plug-in owns until cleanup; the plug-in may call queue_draw from run.
//
// Threads: the audio thread hands its output over through a ring of atomics (no lock, no
// allocation) and asks for a redraw at most 25 times a second of audio; render reads the ring
// on the host's drawing thread and draws with Cairo there.

#include <lv2/core/lv2.h>

#include <atomic>
#include <cstdint>

#define LV2_INLINEDISPLAY_URI "http://harrisonconsoles.com/lv2/inlinedisplay"
#define LV2_INLINEDISPLAY__interface LV2_INLINEDISPLAY_URI "#interface"
#define LV2_INLINEDISPLAY__queue_draw LV2_INLINEDISPLAY_URI "#queue_draw"

struct LV2_Inline_Display_Image_Surface
{
    unsigned char* data;
    int width;
    int height;
    int stride;
};

struct LV2_Inline_Display
{
    void* handle;
    void (*queue_draw)(void* handle);
};

struct LV2_Inline_Display_Interface
{
    LV2_Inline_Display_Image_Surface* (*render)(LV2_Handle instance, uint32_t w, uint32_t max_h);
};

typedef struct _cairo_surface cairo_surface_t;

class LV2InlineDisplay
{
public:
    // Output pairs kept: the last half second, one pair in every few samples.
    static constexpr int kPoints = 1024;
    static constexpr double kSeconds = 0.5;
    static constexpr int kRedrawsPerSecond = 25;

    LV2InlineDisplay() = default;
    ~LV2InlineDisplay();
    LV2InlineDisplay(const LV2InlineDisplay&) = delete;
    LV2InlineDisplay& operator=(const LV2InlineDisplay&) = delete;

    // At instantiate: the host's queue_draw feature, or null.
    void SetHost(const LV2_Inline_Display* host) { mHost = host; }
    // Before processing starts (under the plug-in mutex, like the audio thread's calls).
    void Reset(double sampleRate);
    // Audio thread: n samples of the output.
    void Push(const float* left, const float* right, int n);

    // The host's drawing thread: the picture at width w, at most maxHeight high.
    LV2_Inline_Display_Image_Surface* Render(uint32_t w, uint32_t maxHeight);
    // The height of the correlation bar at the bottom of a picture of height h.
    static int BarHeight(int h) { return h >= 40 ? 8 : 5; }

private:
    std::atomic<float> mLeft[kPoints] = {};
    std::atomic<float> mRight[kPoints] = {};
    std::atomic<uint32_t> mWritten{0};
    int mDecimation = 1;
    int mPhase = 0;
    int mDrawInterval = 1;
    int mSinceDraw = 0;
    const LV2_Inline_Display* mHost = nullptr;
    cairo_surface_t* mSurface = nullptr;
    LV2_Inline_Display_Image_Surface mImage{};
};
