// The command line's renderer goes through the Audio Unit entry. Its output must equal, sample
// for sample, a render that drives the plug-in object directly through the base's channel
// plumbing (the way the command line rendered before it became a host), and its render calls
// must not allocate.

#include "app/render/OfflineRenderer.h"
#include "engine/Parandel.h"
#include "support/AllocationCounter.h"
#include "support/TestSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace
{
constexpr double kRate = 44100.0;

using Settings = std::vector<std::pair<int, double>>;

// Drives the plug-in object directly: rate, block size, channel connections, parameters,
// initialisation, Reset, then blocks through the channel plumbing with the transport running.
class DirectRenderer
{
public:
    DirectRenderer(int inputChannels, int blockSize)
        : mPlug(new Parandel(Parandel::DefaultInstanceInfo())), mInputs(inputChannels)
    {
        mPlug->SetSampleRate(kRate);
        mPlug->SetBlockSize(blockSize);
        mPlug->SetInputChannelConnections(0, inputChannels, true);
        mPlug->SetInputChannelConnections(inputChannels, mPlug->NInChannels() - inputChannels,
                                          false);
        mPlug->SetOutputChannelConnections(0, 2, true);
    }
    void Set(int idx, double value)
    {
        IParam* p = mPlug->Param(idx);
        WDL_MutexLock lock(mPlug->GetMutex());
        p->SetValue(std::min(std::max(value, p->GetMin()), p->GetMax()));
        mPlug->OnParamChange(idx);
    }
    void Start()
    {
        mPlug->OnParamReset();
        mPlug->Reset();
        mPlug->SetHostTransport(true, 0.0);
    }
    int Latency() const { return mPlug->GetLatency(); }
    void Process(float* const* in, float* const* out, int n)
    {
        WDL_MutexLock lock(mPlug->GetMutex());
        mPlug->SetHostTransport(true, mPos);
        mPlug->AttachInputBuffers(0, mInputs, in, n);
        mPlug->AttachOutputBuffers(0, 2, out);
        mPlug->ProcessBuffers(n);
        mPos += n;
    }

private:
    std::unique_ptr<Parandel> mPlug;
    int mInputs;
    double mPos = 0.0;
};

struct Rendered
{
    std::vector<float> left, right;
    int latency = 0;
};

std::vector<std::vector<float>> MakeInput(int channels, int frames, unsigned seed)
{
    std::vector<std::vector<float>> in;
    for (int c = 0; c < channels; ++c)
    {
        const auto d = testsig::Noise(frames, seed + c, 0.6);
        in.emplace_back(d.begin(), d.end());
    }
    return in;
}

// Renders whole blocks (the last one padded with silence) through either renderer.
template <typename Renderer>
Rendered Render(Renderer& r, const std::vector<std::vector<float>>& in, int blockSize)
{
    const int frames = static_cast<int>(in[0].size());
    const int channels = static_cast<int>(in.size());
    std::vector<float> inBuf[2], outBuf[2];
    float* inPtr[2];
    float* outPtr[2];
    for (int c = 0; c < 2; ++c)
    {
        inBuf[c].assign(blockSize, 0.0f);
        outBuf[c].assign(blockSize, 0.0f);
        inPtr[c] = inBuf[c].data();
        outPtr[c] = outBuf[c].data();
    }
    Rendered out;
    out.latency = r.Latency();
    for (int pos = 0; pos < frames; pos += blockSize)
    {
        for (int c = 0; c < channels; ++c)
            for (int k = 0; k < blockSize; ++k)
                inBuf[c][k] = pos + k < frames ? in[c][pos + k] : 0.0f;
        r.Process(inPtr, outPtr, blockSize);
        out.left.insert(out.left.end(), outBuf[0].begin(), outBuf[0].end());
        out.right.insert(out.right.end(), outBuf[1].begin(), outBuf[1].end());
    }
    return out;
}

struct Case
{
    const char* name;
    Settings settings;
};

const Case kCases[] = {
    {"defaults", {}},
    {"width40-pan-30", {{Parandel::kWidth, 40.0}, {Parandel::kPan, -30.0}}},
    {"mono-to-stereo-bass150", {{Parandel::kMonoToStereo, 1.0}, {Parandel::kBassFocus, 150.0}}},
    {"gain-monoout-bassoff",
     {{Parandel::kOutGain, 3.5}, {Parandel::kMonoOut, 1.0}, {Parandel::kBassFocus, 10.0}}},
    {"mono-to-stereo-width-20", {{Parandel::kMonoToStereo, 1.0}, {Parandel::kWidth, -20.0}}},
    {"out-of-range-clamped", {{Parandel::kWidth, 150.0}, {Parandel::kOutGain, -40.0}}},
};
} // namespace

TEST(OfflineRenderer, OutputEqualsDirectRenderSampleForSample)
{
    for (int channels : {1, 2})
        for (int blockSize : {512, 500})
            for (const Case& c : kCases)
            {
                const std::string what = std::string(c.name) +
                                         " channels=" + std::to_string(channels) +
                                         " block=" + std::to_string(blockSize);
                const auto in = MakeInput(channels, 20 * blockSize + 77, 42);

                DirectRenderer direct(channels, blockSize);
                app::OfflineRenderer hosted(kRate, channels, blockSize);
                ASSERT_EQ(hosted.Status(), noErr) << what;
                for (const auto& s : c.settings)
                {
                    direct.Set(s.first, s.second);
                    hosted.SetParameter(s.first, s.second);
                }
                direct.Start();
                hosted.Start();
                ASSERT_EQ(hosted.Status(), noErr) << what;

                const Rendered a = Render(direct, in, blockSize);
                const Rendered b = Render(hosted, in, blockSize);
                EXPECT_EQ(a.latency, b.latency) << what;
                ASSERT_EQ(a.left.size(), b.left.size()) << what;
                size_t firstDiff = a.left.size();
                for (size_t k = 0; k < a.left.size() && firstDiff == a.left.size(); ++k)
                    if (a.left[k] != b.left[k] || a.right[k] != b.right[k])
                        firstDiff = k;
                EXPECT_EQ(firstDiff, a.left.size()) << what << ": first differing sample";
                // The render is not trivially silent.
                EXPECT_GT(testsig::Rms(std::vector<double>(b.left.begin(), b.left.end()).data(),
                                       static_cast<int>(b.left.size())),
                          0.01)
                    << what;
            }
}

TEST(OfflineRenderer, ReportsTheGeneratorLatencyAtANonPowerOfTwoBlock)
{
    app::OfflineRenderer r(kRate, 1, 500);
    r.SetParameter(Parandel::kMonoToStereo, 1.0);
    r.Start();
    EXPECT_EQ(r.Latency(), 500) << "mono-to-stereo at block size 500 delays by one block";

    app::OfflineRenderer pow2(kRate, 1, 512);
    pow2.SetParameter(Parandel::kMonoToStereo, 1.0);
    pow2.Start();
    EXPECT_EQ(pow2.Latency(), 0);
}

TEST(OfflineRenderer, GivesAccessToThePluginObject)
{
    app::OfflineRenderer r(kRate, 2, 256);
    r.SetParameter(Parandel::kWidth, 25.0);
    EXPECT_EQ(r.Plugin().Param(Parandel::kWidth)->Value(), 25.0);
    EXPECT_NE(r.Plugin().GetVectorscope(), nullptr);
    EXPECT_EQ(r.Plugin().GetComponentInstance(), r.Unit());
}

TEST(OfflineRenderer, RenderingAllocatesNothingAfterSetUp)
{
    // The counter does see allocations.
    AllocationCounter::Start();
    int* volatile probe = new int(1); // volatile: the pair cannot be optimised away
    delete probe;
    AllocationCounter::Stop();
    ASSERT_GT(AllocationCounter::Count(), 0);

    for (int channels : {1, 2})
        for (bool monoToStereo : {false, true})
        {
            const int blockSize = 500;
            app::OfflineRenderer r(kRate, channels, blockSize);
            r.SetParameter(Parandel::kMonoToStereo, monoToStereo ? 1.0 : 0.0);
            r.SetParameter(Parandel::kBassFocus, 150.0);
            r.Start();
            const auto in = MakeInput(channels, blockSize, 9);
            std::vector<float> outL(blockSize), outR(blockSize);
            float* ins[2] = {const_cast<float*>(in[0].data()),
                             const_cast<float*>(in[channels - 1].data())};
            float* outs[2] = {outL.data(), outR.data()};
            // From the first block: its transport-start reset included.
            AllocationCounter::Start();
            for (int b = 0; b < 20; ++b)
                r.Process(ins, outs, b % 3 ? blockSize : blockSize / 3);
            AllocationCounter::Stop();
            EXPECT_EQ(AllocationCounter::Count(), 0)
                << "channels=" << channels << " monoToStereo=" << monoToStereo;
        }
}
