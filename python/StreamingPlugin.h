#pragma once
// parandel.Plugin: one plug-in instance fed block by block, as a host streams audio: no latency
// compensation, parameters glide to new values as the plug-in's smoothing makes them. Calls on
// one instance from several threads take turns; separate instances run side by side.

#include "app/render/OfflineRenderer.h"

#include <memory>
#include <mutex>
#include <string>

namespace pyparandel
{
struct SampleArray;

class StreamingPlugin
{
public:
    // channels: 1 (mono in) or 2. A plug-in that refuses the set-up throws std::runtime_error.
    StreamingPlugin(int rate, int maxBlock, int channels);

    // A parameter by the module's keyword name (width, bass_focus, …) or the plug-in's own
    // (Width, BassFocus, …); std::invalid_argument for an unknown name or a refused value.
    void Set(const std::string& name, double value);
    // One block of in.frames ≤ MaxBlock() frames of Channels() channels into out (2 channels).
    void Process(const SampleArray& in, const SampleArray& out);
    // Clears the plug-in's memories (filters, meters, history) as a transport restart does.
    void Reset();
    double Correlation();
    double WidthMeter();

    int MaxBlock() const { return mMaxBlock; }
    int Channels() const { return mChannels; }
    int Rate() const { return mRate; }

private:
    int mRate, mMaxBlock, mChannels;
    std::mutex mMutex;
    std::unique_ptr<app::OfflineRenderer> mRenderer;
};

// The parameter index of a module keyword name or a plug-in parameter name; −1 when unknown.
int ParamIndexOf(const std::string& name);
} // namespace pyparandel
