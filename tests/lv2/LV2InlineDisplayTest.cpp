// The inline display as Ardour draws it: a lilv host renders the picture at several sizes on a
// thread of its own while audio runs. Mono stands as a vertical cluster over a bar at +1, antiphase
// lies flat over a bar at −1; the run call allocates nothing and asks for at most 25 redraws a
// second.

#include "hosts/lv2/LV2InlineDisplay.h"
#include "lv2/LilvHost.h"
#include "support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

namespace
{
constexpr const char* kUri = "http://tarnwel.com/plugins/tw-parandel";
constexpr int kRate = 48000;
constexpr int kBlock = 480;

struct Picture
{
    int width = 0, height = 0;
    double dotSpreadX = 0.0, dotSpreadY = 0.0; // standard deviations of the scope's dots
    int dots = 0;
    double correlation = 0.0; // read off the bar's white mark
};

Picture Read(const LV2_Inline_Display_Image_Surface& s)
{
    Picture p;
    p.width = s.width;
    p.height = s.height;
    const int bar = LV2InlineDisplay::BarHeight(s.height);
    auto pixel = [&](int x, int y)
    { return reinterpret_cast<const uint32_t*>(s.data + y * s.stride)[x]; };
    double sx = 0, sy = 0, sxx = 0, syy = 0;
    for (int y = 0; y < s.height - bar - 1; ++y)
        for (int x = 0; x < s.width; ++x)
        {
            const uint32_t c = pixel(x, y);
            const int r = (c >> 16) & 255, g = (c >> 8) & 255;
            if (g > 120 && g > r + 50)
            {
                ++p.dots;
                sx += x;
                sy += y;
                sxx += double(x) * x;
                syy += double(y) * y;
            }
        }
    if (p.dots)
    {
        p.dotSpreadX = std::sqrt(std::max(0.0, sxx / p.dots - (sx / p.dots) * (sx / p.dots)));
        p.dotSpreadY = std::sqrt(std::max(0.0, syy / p.dots - (sy / p.dots) * (sy / p.dots)));
    }
    double marks = 0, at = 0;
    const int y = s.height - bar / 2 - 1;
    for (int x = 0; x < s.width; ++x)
        if ((pixel(x, y) & 0xFFFFFF) == 0xFFFFFF)
        {
            at += x + 0.5;
            ++marks;
        }
    p.correlation = marks ? (at / marks) / s.width * 2.0 - 1.0 : 99.0;
    return p;
}
} // namespace

TEST(LV2InlineDisplayTest, ThePictureFollowsTheMaterialAtEverySize)
{
    LilvHost host(PARANDEL_LV2_BUNDLE, kUri, kRate, kBlock);
    ASSERT_TRUE(host.Ok());
    host.SetControl("bass_focus", 0.0f);
    host.Activate();
    const auto* display = static_cast<const LV2_Inline_Display_Interface*>(
        lilv_instance_get_extension_data(host.Instance(), LV2_INLINEDISPLAY__interface));
    ASSERT_NE(display, nullptr);
    LV2_Handle handle = lilv_instance_get_handle(host.Instance());

    std::vector<float> l(kBlock), r(kBlock), outL(kBlock), outR(kBlock);
    const std::vector<float*> in = {l.data(), r.data()}, out = {outL.data(), outR.data()};
    long long frame = 0;
    // A second of a 220 Hz sine, the right channel in phase or inverted; the allocations the
    // run calls made when counted.
    auto play = [&](float sign, bool counted)
    {
        long allocations = 0;
        for (int b = 0; b < kRate / kBlock; ++b)
        {
            for (int k = 0; k < kBlock; ++k, ++frame)
            {
                l[k] = 0.5f * std::sin(2.0 * M_PI * 220.0 * frame / kRate);
                r[k] = sign * l[k];
            }
            if (counted)
                AllocationCounter::Start();
            host.Run(in, out, kBlock);
            if (counted)
            {
                AllocationCounter::Stop();
                allocations += AllocationCounter::Count();
            }
        }
        return allocations;
    };
    struct Size
    {
        uint32_t w, maxH;
    } sizes[] = {{100, 60}, {240, 200}, {60, 20}};
    for (float sign : {1.0f, -1.0f})
    {
        const int before = host.QueueDraws();
        EXPECT_EQ(play(sign, true), 0) << "sign=" << sign;
        EXPECT_GE(host.QueueDraws() - before, 20);
        EXPECT_LE(host.QueueDraws() - before, 25);
        // The host's drawing thread renders while the audio runs (render allocates, so this
        // second is not counted).
        std::atomic<bool> playing{true};
        std::thread drawer(
            [&]
            {
                for (int i = 0; playing; ++i)
                    display->render(handle, sizes[i % 3].w, sizes[i % 3].maxH);
            });
        play(sign, false);
        playing = false;
        drawer.join();
        for (const Size& size : sizes)
        {
            const LV2_Inline_Display_Image_Surface* s = display->render(handle, size.w, size.maxH);
            ASSERT_NE(s, nullptr);
            EXPECT_EQ(s->width, static_cast<int>(size.w));
            EXPECT_LE(s->height, static_cast<int>(size.maxH));
            EXPECT_GE(s->stride, s->width * 4);
            const Picture p = Read(*s);
            const std::string what = "sign " + std::to_string(sign) + " at " +
                                     std::to_string(p.width) + "x" + std::to_string(p.height);
            ASSERT_GT(p.dots, 10) << what;
            if (sign > 0)
            {
                EXPECT_GT(p.dotSpreadY, 3.0 * p.dotSpreadX + 1.0) << what;
                EXPECT_GT(p.correlation, 0.9) << what;
            }
            else
            {
                EXPECT_GT(p.dotSpreadX, 3.0 * p.dotSpreadY + 1.0) << what;
                EXPECT_LT(p.correlation, -0.9) << what;
            }
        }
    }
}

// Every few samples one is kept for the picture, counted across runs: however the output is cut
// into runs, the same samples are kept and the picture is the same.
TEST(LV2InlineDisplayTest, TheSamplesKeptDoNotDependOnTheRunLengths)
{
    const int frames = kRate / 2;
    std::vector<float> l(frames), r(frames);
    for (int k = 0; k < frames; ++k)
    {
        l[k] = static_cast<float>(0.7 * std::sin(0.0123 * k * k / frames + 0.002 * k));
        r[k] = static_cast<float>(0.5 * std::cos(0.031 * k));
    }
    std::vector<std::vector<unsigned char>> pictures;
    for (int run : {kBlock, 7, 1})
    {
        LilvHost host(PARANDEL_LV2_BUNDLE, kUri, kRate, kBlock);
        ASSERT_TRUE(host.Ok());
        host.SetControl("bass_focus", 0.0f);
        host.Activate();
        std::vector<float> outL(kBlock), outR(kBlock);
        for (int start = 0; start < frames; start += run)
        {
            const int n = std::min(run, frames - start);
            host.Run({l.data() + start, r.data() + start}, {outL.data(), outR.data()}, n);
        }
        const auto* display = static_cast<const LV2_Inline_Display_Interface*>(
            lilv_instance_get_extension_data(host.Instance(), LV2_INLINEDISPLAY__interface));
        ASSERT_NE(display, nullptr);
        const LV2_Inline_Display_Image_Surface* s =
            display->render(lilv_instance_get_handle(host.Instance()), 100, 60);
        ASSERT_NE(s, nullptr);
        ASSERT_GT(Read(*s).dots, 100);
        pictures.emplace_back(s->data, s->data + s->height * s->stride);
    }
    for (size_t i = 1; i < pictures.size(); ++i)
        EXPECT_TRUE(pictures[i] == pictures[0]) << "runs " << i;
}
