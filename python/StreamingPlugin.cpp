#include "python/StreamingPlugin.h"

#include "app/commands/ParamOptions.h"
#include "engine/Parandel.h"
#include "metering/TWCorrelationComputer.h"
#include "python/ArrayRenderer.h"

#include <stdexcept>
#include <vector>

namespace pyparandel
{
namespace
{
struct KeywordName
{
    const char* keyword;
    int index;
};
constexpr KeywordName kKeywordNames[] = {{"width", Parandel::kWidth},
                                         {"pan", Parandel::kPan},
                                         {"bass_focus", Parandel::kBassFocus},
                                         {"out_gain", Parandel::kOutGain},
                                         {"mono_out", Parandel::kMonoOut},
                                         {"mono_to_stereo", Parandel::kMonoToStereo}};
} // namespace

int ParamIndexOf(const std::string& name)
{
    for (const KeywordName& k : kKeywordNames)
        if (name == k.keyword)
            return k.index;
    return app::FindParamByName(name);
}

StreamingPlugin::StreamingPlugin(int rate, int maxBlock, int channels)
    : mRate(rate), mMaxBlock(maxBlock), mChannels(channels),
      mRenderer(std::make_unique<app::OfflineRenderer>(rate, channels, maxBlock))
{
    mRenderer->Start();
    if (mRenderer->Status() != noErr)
        throw std::runtime_error("the plug-in refused the set-up (status " +
                                 std::to_string(mRenderer->Status()) + ")");
}

void StreamingPlugin::Set(const std::string& name, double value)
{
    const int idx = ParamIndexOf(name);
    if (idx < 0)
        throw std::invalid_argument("unknown parameter '" + name +
                                    "'; parameters: width, pan, bass_focus, out_gain, mono_out, "
                                    "mono_to_stereo or " +
                                    app::ParamNameList());
    if (app::IsMeter(idx))
        throw std::invalid_argument(name + " is a meter the plug-in sets; it cannot be set");
    std::string error;
    if (!app::CheckParamValue(idx, value, name, error))
        throw std::invalid_argument(error);
    std::lock_guard<std::mutex> lock(mMutex);
    mRenderer->SetParameter(idx, value);
}

void StreamingPlugin::Process(const SampleArray& in, const SampleArray& out)
{
    const int n = static_cast<int>(in.frames);
    std::vector<float> inBuf[2], outBuf[2];
    float* inPtr[2] = {};
    float* outPtr[2] = {};
    for (int c = 0; c < 2; ++c)
    {
        inBuf[c].resize(n);
        outBuf[c].resize(n);
        inPtr[c] = inBuf[c].data();
        outPtr[c] = outBuf[c].data();
    }
    for (int c = 0; c < in.channels; ++c)
        for (int k = 0; k < n; ++k)
            inBuf[c][k] = in.Get(k, c);
    {
        std::lock_guard<std::mutex> lock(mMutex);
        if (n > 0)
            mRenderer->Process(inPtr, outPtr, n);
    }
    for (int k = 0; k < n; ++k)
        for (int c = 0; c < 2; ++c)
            out.Set(k, c, outBuf[c][k]);
}

void StreamingPlugin::Reset()
{
    std::lock_guard<std::mutex> lock(mMutex);
    mRenderer->Start();
}

double StreamingPlugin::Correlation()
{
    std::lock_guard<std::mutex> lock(mMutex);
    return mRenderer->Plugin().GetCorrelationComputer()->GetCorrelation();
}

double StreamingPlugin::WidthMeter()
{
    std::lock_guard<std::mutex> lock(mMutex);
    return mRenderer->Plugin().WidthMeterValue();
}
} // namespace pyparandel
