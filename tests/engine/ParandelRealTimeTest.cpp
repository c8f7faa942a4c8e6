// The audio path is real-time safe from the first block after Reset at a rate and maximum block
// size: nothing allocates, whatever the block sizes up to the maximum, across transport restarts
// (which reset on the audio thread), vectorscope mode switches and mono-to-stereo toggles.

#include "engine/Parandel.h"
#include "support/AllocationCounter.h"
#include "support/PlugHarness.h"
#include "support/TestSignals.h"

#include <gtest/gtest.h>

namespace
{
constexpr int kMaxBlock = 8192;
} // namespace

TEST(ParandelRealTime, NothingAllocatesAfterReset)
{
    // Blocks above the vectorscope's 4096-sample window and enough samples per mode for the
    // SOURCE analysis to run several frames.
    const int blockSizes[] = {512, 1, 17, 500, kMaxBlock, 4096, 3};
    for (int inputs : {1, 2})
        for (double bassFocusHz : {20.0, 100.0})
        {
            PlugHarness h(inputs, 44100.0, kMaxBlock);
            h.Set(Parandel::kBassFocus, bassFocusHz);
            h.Start(false);
            std::vector<double> inL = testsig::Noise(kMaxBlock, 11, 0.5);
            std::vector<double> inR = testsig::Noise(kMaxBlock, 12, 0.5);
            std::vector<double> outL(kMaxBlock), outR(kMaxBlock);
            double* ins[2] = {inL.data(), inputs == 2 ? inR.data() : nullptr};
            double* outs[2] = {outL.data(), outR.data()};

            AllocationCounter::Start();
            {
                WDL_MutexLock lock(h.plug->GetMutex());
                for (int mode = 0; mode < Parandel::kNumVectorscopeModes; ++mode)
                {
                    h.plug->SetParameterFromGUI(Parandel::kVectorscopeMode0 + mode, 1.0);
                    h.plug->SetParameterFromGUI(Parandel::kMonoToStereo, mode % 2);
                    h.plug->SetHostTransport(true, 0.0); // the next block resets
                    for (int n : blockSizes)
                        h.plug->ProcessReplacing(ins, outs, n);
                    h.plug->SetHostTransport(false, 0.0);
                    h.plug->ProcessReplacing(ins, outs, 64);
                }
            }
            AllocationCounter::Stop();
            EXPECT_EQ(AllocationCounter::Count(), 0)
                << "inputs=" << inputs << " bassFocus=" << bassFocusHz;
        }
}
