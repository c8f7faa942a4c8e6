// Hosts hand the outputs as arrays of their own, as the inputs' own arrays (in place), crossed
// over, or even overlapping the inputs at an offset: the plug-in renders the same samples in
// every case, while the controls glide and once they have settled.

#include "engine/Parandel.h"
#include "support/PlugHarness.h"
#include "support/TestSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace
{
constexpr int kBlock = 256;
constexpr int kBlocks = 24;

// Where the block's samples sit in one host buffer: the inputs at 0 and kBlock apart, the outputs
// at the given offsets.
struct Layout
{
    const char* name;
    int outL, outR;
};

std::vector<double> RenderWith(const Layout& layout, const std::vector<double>& l,
                               const std::vector<double>& r)
{
    PlugHarness h;
    h.Set(Parandel::kWidth, 60.0);
    h.Start();
    h.Set(Parandel::kPan, -30.0); // glides over the first blocks, then holds
    std::vector<double> out;
    std::vector<double> host(6 * kBlock);
    for (int b = 0; b < kBlocks; ++b)
    {
        std::fill(host.begin(), host.end(), 0.0);
        std::copy_n(l.begin() + b * kBlock, kBlock, host.begin() + 2 * kBlock);
        std::copy_n(r.begin() + b * kBlock, kBlock, host.begin() + 3 * kBlock);
        double* ins[2] = {&host[2 * kBlock], &host[3 * kBlock]};
        double* outs[2] = {&host[2 * kBlock + layout.outL], &host[2 * kBlock + layout.outR]};
        {
            WDL_MutexLock lock(h.plug->GetMutex());
            h.plug->ProcessReplacing(ins, outs, kBlock);
        }
        out.insert(out.end(), outs[0], outs[0] + kBlock);
        out.insert(out.end(), outs[1], outs[1] + kBlock);
    }
    return out;
}
} // namespace

TEST(ParandelBuffers, OutputsInPlaceCrossedOrOverlappingTheInputsRenderAsSeparateOnes)
{
    const std::vector<double> l = testsig::Noise(kBlocks * kBlock, 31, 0.5);
    const std::vector<double> r = testsig::Noise(kBlocks * kBlock, 32, 0.5);
    const std::vector<double> want = RenderWith({"separate", 2 * kBlock, 3 * kBlock}, l, r);
    const Layout layouts[] = {{"in place", 0, kBlock},
                              {"crossed", kBlock, 0},
                              {"left overlaps right's input", kBlock / 2, 2 * kBlock},
                              {"right overlaps left's input", 2 * kBlock, -5},
                              {"both shifted by one", 1, kBlock + 1}};
    for (const Layout& layout : layouts)
        EXPECT_EQ(RenderWith(layout, l, r), want) << layout.name;
}
