#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzInput.h"
#include "fuzz/FuzzTargets.h"

#include "app/render/OfflineRenderer.h"
#include "engine/Parandel.h"

#include <cmath>
#include <vector>

namespace fuzz
{
namespace
{
constexpr int kMaxSteps = 16;
constexpr uint32_t kMaxBlockSize = 512;
constexpr double kSampleRates[] = {44100.0, 48000.0, 96000.0, 22050.0, 8000.0, 192000.0};
// Inputs up to this level cannot drive the chain (at most +12 dB, width and pan gains of a few)
// beyond the float range.
constexpr float kModestLevel = 1e4f;

enum Step : uint32_t
{
    kBlock,
    kParameter,
    kReset,
    kStepCount
};

enum Samples : uint32_t
{
    kRawBits,   // any float: NaN, infinities, denormals, huge values
    kModest,    // bytes scaled to ±1
    kSilence,   // exact zeros, as the silence shortcut sees them
    kOneOddity, // modest samples with a single special value somewhere
    kSampleKinds
};

float Oddity(FuzzInput& in)
{
    const float odd[] = {NAN, INFINITY, -INFINITY, 1e-40f, -1e-40f, 3e38f, 0.0f, -0.0f};
    return odd[in.Below(sizeof(odd) / sizeof(odd[0]))];
}

// Fills n samples of channel c; true when they are all finite and modest.
bool FillSamples(FuzzInput& in, Samples kind, float* x, uint32_t n)
{
    for (uint32_t k = 0; k < n; ++k)
    {
        switch (kind)
        {
        case kRawBits:
            x[k] = in.RawFloat();
            break;
        case kSilence:
            x[k] = 0.0f;
            break;
        default:
            x[k] = (static_cast<int>(in.Byte()) - 128) / 128.0f;
            break;
        }
    }
    if (kind == kOneOddity && n > 0)
        x[in.Below(n)] = Oddity(in);
    bool modest = true;
    for (uint32_t k = 0; k < n; ++k)
        modest = modest && std::isfinite(x[k]) && std::fabs(x[k]) <= kModestLevel;
    return modest;
}

// A parameter value: within the parameter's range most of the time, any float otherwise.
float ParameterValue(FuzzInput& in, const IParam& p)
{
    if (in.Below(4) == 0)
        return in.RawFloat();
    return static_cast<float>(p.GetMin() + (p.GetMax() - p.GetMin()) * in.Byte() / 255.0);
}
} // namespace

int FuzzAudioPath(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const int nIn = in.Flag() ? 2 : 1;
    const double rate = kSampleRates[in.Below(sizeof(kSampleRates) / sizeof(kSampleRates[0]))];
    const uint32_t maxFrames = 1 + in.Below(kMaxBlockSize);
    app::OfflineRenderer renderer(rate, nIn, static_cast<int>(maxFrames));
    FuzzRequire(renderer.Status() == noErr, "the unit accepts the set-up");
    const Parandel& plug = renderer.Plugin();
    for (uint32_t i = in.Below(4); i > 0; --i)
    {
        const int idx = static_cast<int>(in.Below(Parandel::kNumParams));
        renderer.SetParameter(idx, ParameterValue(in, *plug.Param(idx)));
    }
    renderer.Start();

    std::vector<float> inBuf[2], outBuf[2];
    float* inputs[2];
    float* outputs[2];
    for (int c = 0; c < 2; ++c)
    {
        inBuf[c].assign(maxFrames, 0.0f);
        outBuf[c].assign(maxFrames, 0.0f);
        inputs[c] = inBuf[c].data();
        outputs[c] = outBuf[c].data();
    }
    // Until a non-finite or immodest sample has gone in, nothing non-finite may come out.
    bool allModest = true;
    for (int step = 0; step < kMaxSteps && !in.Empty(); ++step)
    {
        switch (in.Below(kStepCount))
        {
        case kBlock:
        {
            const uint32_t n = 1 + in.Below(maxFrames);
            const auto kind = static_cast<Samples>(in.Below(kSampleKinds));
            for (int c = 0; c < nIn; ++c)
                allModest = FillSamples(in, kind, inputs[c], n) && allModest;
            renderer.Process(inputs, outputs, static_cast<int>(n));
            for (int c = 0; allModest && c < 2; ++c)
                for (uint32_t k = 0; k < n; ++k)
                    FuzzRequire(std::isfinite(outputs[c][k]), "modest input gives finite output");
            break;
        }
        case kParameter:
        {
            const int idx = static_cast<int>(in.Below(Parandel::kNumParams));
            renderer.SetParameter(idx, ParameterValue(in, *plug.Param(idx)));
            break;
        }
        default:
            // A reset clears every memory: what went in before it no longer counts.
            AudioUnitReset(renderer.Unit(), kAudioUnitScope_Global, 0);
            allModest = true;
            break;
        }
        RequireParamsInRange(plug, "parameters stay finite and within range");
    }
    return 0;
}
} // namespace fuzz
