// A NaN or infinite input sample costs that sample only: the plug-in renders exactly what it
// renders with silence in its place, and every output sample is finite. Reset starts the audio
// afresh, filter memories included. A finite input as loud as a float holds gives outputs a float
// holds, while input within ±1e30 renders exactly as quiet input scaled (a power of two, which
// the chain's arithmetic carries exactly).

#include "engine/Parandel.h"
#include "support/PlugHarness.h"
#include "support/TestSignals.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

namespace
{
constexpr int kBlock = 512;

struct Stereo
{
    std::vector<double> l, r;
};

Stereo RunBlocks(PlugHarness& h, const Stereo& in)
{
    Stereo out;
    for (size_t start = 0; start < in.l.size(); start += kBlock)
    {
        std::vector<double> l(in.l.begin() + start, in.l.begin() + start + kBlock);
        std::vector<double> r(in.r.begin() + start, in.r.begin() + start + kBlock);
        h.Process(l, r);
        out.l.insert(out.l.end(), l.begin(), l.end());
        out.r.insert(out.r.end(), r.begin(), r.end());
    }
    return out;
}

Stereo Render(int inputs, bool monoToStereo, const Stereo& in, double bassFocusHz = 100.0)
{
    PlugHarness h(inputs);
    h.Set(Parandel::kMonoToStereo, monoToStereo ? 1.0 : 0.0);
    h.Set(Parandel::kBassFocus, bassFocusHz);
    h.Start(); // defaults otherwise
    return RunBlocks(h, in);
}

bool AllFinite(const std::vector<double>& v)
{
    for (double x : v)
        if (!std::isfinite(x))
            return false;
    return true;
}

bool FitsAFloat(const std::vector<double>& v)
{
    for (double x : v)
        if (!(std::fabs(x) <= FLT_MAX))
            return false;
    return true;
}
} // namespace

TEST(ParandelNonFinite, ABadInputSampleRendersAsSilence)
{
    const double bad[] = {std::numeric_limits<double>::quiet_NaN(),
                          std::numeric_limits<double>::infinity(),
                          -std::numeric_limits<double>::infinity()};
    // Within a block of sound, and as the first sample of one, before any sound.
    for (const int at : {3 * kBlock + 100, 5 * kBlock})
    {
        Stereo zeroed{testsig::Noise(10 * kBlock, 21, 0.5), testsig::Noise(10 * kBlock, 22, 0.5)};
        zeroed.l[at] = 0.0;
        for (double value : bad)
            for (int inputs : {1, 2})
                for (bool monoToStereo : {false, true})
                {
                    Stereo poisoned = zeroed;
                    poisoned.l[at] = value;
                    const Stereo got = Render(inputs, monoToStereo, poisoned);
                    const Stereo want = Render(inputs, monoToStereo, zeroed);
                    EXPECT_TRUE(AllFinite(got.l) && AllFinite(got.r))
                        << "at=" << at << " value=" << value << " inputs=" << inputs
                        << " m2s=" << monoToStereo;
                    EXPECT_TRUE(got.l == want.l && got.r == want.r)
                        << "at=" << at << " value=" << value << " inputs=" << inputs
                        << " m2s=" << monoToStereo;
                }
    }
}

TEST(ParandelNonFinite, ABadSampleInAnOtherwiseSilentBlockGivesSilence)
{
    PlugHarness h;
    h.Start();
    std::vector<double> l(kBlock, 0.0), r(kBlock, 0.0);
    l[7] = std::numeric_limits<double>::quiet_NaN();
    h.Process(l, r);
    EXPECT_EQ(l, std::vector<double>(kBlock, 0.0));
    EXPECT_EQ(r, std::vector<double>(kBlock, 0.0));
}

TEST(ParandelNonFinite, ResetLeavesNothingOfTheOldSignalInTheFilters)
{
    const Stereo loud{testsig::Noise(4 * kBlock, 31), testsig::Noise(4 * kBlock, 32)};
    const Stereo next{testsig::Noise(4 * kBlock, 33, 0.5), testsig::Noise(4 * kBlock, 34, 0.5)};
    PlugHarness used;
    used.Start();
    RunBlocks(used, loud);
    used.plug->Reset();
    PlugHarness fresh;
    fresh.Start();
    const Stereo got = RunBlocks(used, next);
    const Stereo want = RunBlocks(fresh, next);
    EXPECT_TRUE(got.l == want.l && got.r == want.r);
}

TEST(ParandelNonFinite, TheLoudestFloatInputGivesOutputsAFloatHolds)
{
    const int n = 16 * kBlock;
    const Stereo dc{std::vector<double>(n, FLT_MAX), std::vector<double>(n, FLT_MAX)};
    Stereo step = dc;
    std::fill(step.l.begin(), step.l.begin() + n / 2, -FLT_MAX);
    const Stereo antiphase{std::vector<double>(n, FLT_MAX), std::vector<double>(n, -FLT_MAX)};
    const Stereo* inputs[] = {&dc, &step, &antiphase};
    for (const Stereo* in : inputs)
        for (bool monoToStereo : {false, true})
            for (double bassFocus : {20.0, 100.0, 500.0})
            {
                const Stereo out = Render(2, monoToStereo, *in, bassFocus);
                EXPECT_TRUE(FitsAFloat(out.l) && FitsAFloat(out.r))
                    << "m2s=" << monoToStereo << " bass=" << bassFocus;
            }
}

TEST(ParandelNonFinite, InputUpTo1e30RendersExactlyAsQuietInputScaled)
{
    const double scale = std::ldexp(1.0, 99); // 6.3e29
    const Stereo quiet{testsig::Noise(16 * kBlock, 5, 0.9), testsig::Noise(16 * kBlock, 6, 0.9)};
    Stereo loud = quiet;
    for (auto* v : {&loud.l, &loud.r})
        for (double& x : *v)
            x *= scale;
    for (bool monoToStereo : {false, true})
    {
        const Stereo a = Render(2, monoToStereo, quiet);
        const Stereo b = Render(2, monoToStereo, loud);
        bool same = true;
        for (size_t k = 0; k < a.l.size(); ++k)
            same = same && b.l[k] == a.l[k] * scale && b.r[k] == a.r[k] * scale;
        EXPECT_TRUE(same) << "m2s=" << monoToStereo;
    }
}
