// The LV2 inline display's render call, timed at three sizes (a narrow strip, Ardour's usual
// strip, a wide one) on the picture of a stereo mix: a 220 Hz tone spread half wide with noise
// on one side, run through the plug-in for a second. The median of the rounds, in microseconds.
// With a PNG path it also writes the strip-size picture there (the README's).
//
//   parandel_lv2_inline_bench BUNDLE_DIR [ROUNDS] [PNG]

#include "hosts/lv2/LV2InlineDisplay.h"
#include "lv2/LilvHost.h"

#include <cairo.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace
{
constexpr int kRate = 48000;
constexpr int kBlock = 512;

void Play(LilvHost& host)
{
    std::vector<float> l(kBlock), r(kBlock), outL(kBlock), outR(kBlock);
    const std::vector<float*> in = {l.data(), r.data()}, out = {outL.data(), outR.data()};
    std::mt19937 noise(7);
    std::normal_distribution<float> gauss(0.0f, 0.08f);
    long long frame = 0;
    for (int b = 0; b < kRate / kBlock; ++b)
    {
        for (int k = 0; k < kBlock; ++k, ++frame)
        {
            const float tone = 0.4f * std::sin(2.0 * M_PI * 220.0 * frame / kRate);
            l[k] = tone + gauss(noise);
            r[k] = 0.6f * tone;
        }
        host.Run(in, out, kBlock);
    }
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
    {
        std::fprintf(stderr, "usage: %s BUNDLE_DIR [ROUNDS] [PNG]\n", argv[0]);
        return 2;
    }
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 200;
    LilvHost host(argv[1], "http://tarnwel.com/plugins/tw-parandel", kRate, kBlock);
    if (!host.Ok())
    {
        std::fprintf(stderr, "cannot load the plug-in from %s\n", argv[1]);
        return 1;
    }
    host.Activate();
    Play(host);
    const auto* display = static_cast<const LV2_Inline_Display_Interface*>(
        lilv_instance_get_extension_data(host.Instance(), LV2_INLINEDISPLAY__interface));
    LV2_Handle handle = lilv_instance_get_handle(host.Instance());
    const struct
    {
        uint32_t w, maxH;
    } sizes[] = {{60, 40}, {100, 60}, {240, 150}};
    for (const auto& size : sizes)
    {
        display->render(handle, size.w, size.maxH); // the surface is made on the first call
        std::vector<double> micros;
        for (int i = 0; i < rounds; ++i)
        {
            const auto start = std::chrono::steady_clock::now();
            display->render(handle, size.w, size.maxH);
            micros.push_back(
                std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                    .count());
        }
        std::nth_element(micros.begin(), micros.begin() + micros.size() / 2, micros.end());
        const LV2_Inline_Display_Image_Surface* s = display->render(handle, size.w, size.maxH);
        std::printf("render %3d x %3d: %7.1f us (median of %d)\n", s->width, s->height,
                    micros[micros.size() / 2], rounds);
    }
    if (argc > 3)
    {
        const LV2_Inline_Display_Image_Surface* s = display->render(handle, 100, 60);
        cairo_surface_t* image = cairo_image_surface_create_for_data(
            s->data, CAIRO_FORMAT_ARGB32, s->width, s->height, s->stride);
        const cairo_status_t status = cairo_surface_write_to_png(image, argv[3]);
        cairo_surface_destroy(image);
        if (status != CAIRO_STATUS_SUCCESS)
        {
            std::fprintf(stderr, "cannot write %s: %s\n", argv[3], cairo_status_to_string(status));
            return 1;
        }
    }
    return 0;
}
